#pragma once

#include <string>
#include <string_view>

#include "utils/string_list.h"

// One configurable redirect: a switch and the hub addresses a refused user
// is sent to, handed out in turn.
class TRedirectItem {
 public:
  TRedirectItem();

  bool Enabled = false;

  // The next address in turn; "" when there is none. A list that shrank
  // starts again from its first address.
  std::string NextAddress();

  // Replaces the list by the text split at '|' (empty parts skipped); the
  // turn index is kept.
  void SetAddresses(std::string_view text);
  std::string GetAddresses() const;           // joined with "|", as stored
  std::string GetAddressesSemicolon() const;  // joined with ";", as listed to operators

  int Count() const { return addresses_.Count(); }

 private:
  TStringList addresses_;
  int nextIndex_ = 0;
};
