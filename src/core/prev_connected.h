#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "utils/hash_list.h"

class THubSocket;

// One recently closed connection.
struct TPrevConn {
  std::string Nick;
  std::string IP;
  std::uint64_t LastSeen = 0;  // hub clock, ms
};

// Remembers for some minutes which nicks and addresses were connected, so
// that a message to a user who has just left is not taken for one to a
// stranger. Owns its items: one list by IP and one by nick, each with
// items of its own. Main thread only.
class TPrevConnected {
 public:
  TPrevConnected() = default;
  ~TPrevConnected();
  TPrevConnected(const TPrevConnected&) = delete;
  TPrevConnected& operator=(const TPrevConnected&) = delete;

  // A connection closed: its IP, and its nick when it has one, are seen now.
  void Touch(const THubSocket& connection);
  void Touch(const THubSocket& connection, std::uint64_t nowMs);

  // Was a user of this nick (any case) connected recently?
  bool WasConnected(std::string_view nick) const;
  // The nick as a slice of a receive buffer.
  bool WasConnectedBuf(const char* buffer, int length) const;
  bool WasConnectedIP(std::string_view ip) const { return byIP_.Find(ip) != nullptr; }

  // Drops every item, in both lists, last seen before `cutoffMs`.
  void Purge(std::uint64_t cutoffMs);
  void Clear();

  int CountByIP() const { return byIP_.Count(); }
  int CountByNick() const { return byNick_.Count(); }

 private:
  static void TouchIn(THashList<TPrevConn>& list, const std::string& key,
                      const THubSocket& connection, std::uint64_t nowMs);
  static void PurgeFrom(THashList<TPrevConn>& list, std::uint64_t cutoffMs);

  THashList<TPrevConn> byIP_{64};
  THashList<TPrevConn> byNick_{64};
};
