#pragma once

#include <string>
#include <string_view>

#include "core/chat_hooks.h"

class THubSocket;

// The parts of "$Search address size-restricted?is-max?size?type?pattern|".
// Fields are cut at the first four '?', so a pattern may hold '?' itself.
struct TSearchQuery {
  bool Passive = false;       // the address is "Hub:nick"
  std::string_view Address;   // "ip:port", or "Hub:nick"
  std::string_view Type;      // the fourth field; empty when the fields are missing
  std::string_view Pattern;   // the rest, words joined by '$'

  // `message` with or without its final '|'.
  static TSearchQuery Parse(std::string_view message);
};

// The relaying of "$Search" to the users who may answer it and of "$SR"
// back to the passive searcher alone, with the hub's limits, and the
// made-up result that shows a refusal in the searcher's search window.
// Owns only the text of that result while building it. Main thread only.
class TSearchHandler {
 public:
  static constexpr std::size_t kMinSearchLength = 14;
  static constexpr std::size_t kMaxSearchLength = 1024;
  static constexpr std::string_view kNoticeHash = "TTH:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";

  explicit TSearchHandler(const TChatContext& context) : ctx_(context) {}

  bool HandleSearch(THubSocket& user, std::string_view message);
  // "$SR nick path\x05size slots\x05hub\x05target|".
  bool HandleSearchResult(THubSocket& user, std::string_view message);

  // A result whose file name is `text`, under a folder per word of the
  // search's pattern, so a refusal shows where the client lists results.
  void SendSearchNotice(THubSocket& user, std::string_view pattern, std::string_view text);

 private:
  // The passive checks; false when the search stops here.
  bool PassiveAllowed(THubSocket& user, const TSearchQuery& query);
  void Deliver(const THubSocket& user, std::string_view message, bool passive);

  TChatContext ctx_;
  std::string notice_;
};
