#include "core/prev_connected.h"

#include <memory>

#include "core/hub_socket.h"
#include "utils/hub_time.h"

TPrevConnected::~TPrevConnected() { Clear(); }

void TPrevConnected::TouchIn(THashList<TPrevConn>& list, const std::string& key,
                             const THubSocket& connection, std::uint64_t nowMs) {
  TPrevConn* item = list.Find(key);
  if (item == nullptr) {
    auto made = std::make_unique<TPrevConn>();
    made->Nick = connection.Nick;
    made->IP = connection.IP;
    if (!list.Add(key, made.get())) return;
    item = made.release();
  }
  item->LastSeen = nowMs;
}

void TPrevConnected::Touch(const THubSocket& connection) { Touch(connection, TTime::Now()); }

void TPrevConnected::Touch(const THubSocket& connection, std::uint64_t nowMs) {
  TouchIn(byIP_, connection.IP, connection, nowMs);
  if (!connection.Nick.empty()) TouchIn(byNick_, connection.Nick, connection, nowMs);
}

bool TPrevConnected::WasConnected(std::string_view nick) const {
  return byNick_.Find(nick) != nullptr;
}

bool TPrevConnected::WasConnectedBuf(const char* buffer, int length) const {
  return byNick_.FindBuf(buffer, length) != nullptr;
}

void TPrevConnected::PurgeFrom(THashList<TPrevConn>& list, std::uint64_t cutoffMs) {
  // From the end: a removal moves the last item into the hole.
  for (int i = list.Count() - 1; i >= 0; --i) {
    if (list.GetValue(i)->LastSeen < cutoffMs) list.RemoveAndFree(list.GetKey(i));
  }
}

void TPrevConnected::Purge(std::uint64_t cutoffMs) {
  PurgeFrom(byIP_, cutoffMs);
  PurgeFrom(byNick_, cutoffMs);
}

void TPrevConnected::Clear() {
  byIP_.ClearAndFree();
  byNick_.ClearAndFree();
}
