#pragma once

#include <string>
#include <string_view>

#include "utils/hash_list.h"

// The nicks the hub keeps for itself (its own names, the bot, the chat
// rooms), compared without regard to letter case. Owns only the names.
class TNicksInUse {
 public:
  // Holds the program's own two names from the start.
  TNicksInUse();

  bool Add(std::string_view nick);     // false when present
  bool Remove(std::string_view nick);  // false when absent
  bool Exists(std::string_view nick) const { return names_.IndexOf(nick) >= 0; }
  bool ExistsBuf(const char* buffer, int length) const;
  // The spelling stored, or "" when absent.
  std::string GetRealCase(std::string_view nick) const;
  int Count() const { return names_.Count(); }

 private:
  // Only the keys matter; every value is null.
  THashList<const char> names_{32};
};
