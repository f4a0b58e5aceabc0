// The send pass: writes each connection's queued output, at most one send
// chunk per connection, and finishes the connections marked closing.

#include <algorithm>
#include <array>
#include <exception>
#include <vector>

#include "core/core_hooks.h"
#include "core/hub_core.h"
#include "core/hub_core_connection.h"
#include "core/hub_socket.h"
#include "core/write_buffer.h"
#include "settings/settings.h"
#include "base/exceptions.h"
#include "utils/hub_time.h"

namespace {

// Enough for a send chunk of the largest pace made of the smallest blocks.
constexpr int kSendSlices = 32;

}  // namespace

void THubCore::SendAll() {
  TPassGuard guard(*this);
  TLinkQuality& link = hooks_.Link();
  link.BeginSendPass();
  sentThisPass_ = 0;
  const std::vector<std::uint64_t> ids = SnapshotIds();
  for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
    TConnection* connection = Find(*it);
    if (connection == nullptr) continue;
    link.RecordOutcome(TrySend(*connection));
  }
  link.AddUpload(sentThisPass_);
}

int THubCore::TrySendSocket(THubSocket& user) {
  TPassGuard guard(*this);
  TConnection* connection = Find(user.Id());
  return connection == nullptr ? soClosed : TrySend(*connection);
}

int THubCore::TrySend(TConnection& connection) {
  THubSocket& user = *connection.User;
  try {
    TWriteBuffer& out = user.WriteBuffer();
    if (!connection.Socket.IsOpen()) {
      CloseNow(user);
      return soClosed;
    }
    if (out.Empty()) {
      if (user.LifeState != lsClosing) return soEmptied;
      CloseNow(user);
      return soClosed;
    }
    if (out.Overflow()) {
      // Output was lost: the client would see a broken stream.
      hooks_.Counters().Count(TCoreCount::Overflow);
      CloseNow(user);
      return soClosed;
    }
    if (!out.IsMessageEnded()) throw EBufferException("THubCore.TrySendSocket", "Buffer not ended. Ignored!");
    const bool zpipe = user.UserInfo().Supports.ZPipe;
    if (zpipe) out.Compress();
    const int pace = std::clamp(settings_.WorkPace(), 0, static_cast<int>(kWorkPaceTable.size()) - 1);
    const int chunk = kWorkPaceTable[static_cast<std::size_t>(pace)].SendChunk;
    // Shared blocks and the connection's own bytes go out in one call.
    std::array<TIoSlice, kSendSlices> slices;
    const int count = out.Collect(slices.data(), kSendSlices, chunk, zpipe);
    const TIoResult result = connection.Socket.WriteSlices(slices.data(), count);
    switch (result.status) {
      case TIoStatus::kDone: {
        const int sent = static_cast<int>(result.bytes);
        sentThisPass_ += sent;
        user.UserInfo().Transfer.BytesSent += sent;
        if (sent > 0) {
          user.LastActivity = TTime::Now();
        } else {
          out.NoteStalledRound();
        }
        const bool empty = out.Consume(sent);
        // A closing connection goes once its last bytes are out (or when it
        // takes nothing more).
        if (user.LifeState == lsClosing && (empty || sent == 0)) {
          CloseNow(user);
          return soClosed;
        }
        return empty ? soEmptied : soRemaining;
      }
      case TIoStatus::kWouldBlock:
        if (user.LifeState == lsClosing) {
          CloseNow(user);
          return soClosed;
        }
        // A full socket: what the buffer may still take depends on it.
        out.NoteStalledRound();
        return soNotWritable;
      case TIoStatus::kError:
        hooks_.Counters().Count(TCoreCount::SocketError);
        CloseNow(user);
        return soClosed;
      case TIoStatus::kClosed:
        CloseNow(user);
        return soClosed;
    }
    return soNotWritable;
  } catch (const std::exception& e) {
    ReportError("TrySendSocket", e.what());
    CloseNow(user);
    return soClosed;
  }
}
