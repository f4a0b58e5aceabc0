#pragma once

#include <string_view>

class TAccount;

// What the accounts list tells a front end showing it. The daemon shows
// nothing, so every call does nothing unless overridden. Main thread only.
class TAccountsView {
 public:
  virtual ~TAccountsView() = default;
  // Added, or a shown field changed (last spoke, online, profile).
  virtual void UpdateAccount(const TAccount& /*account*/) {}
  // Taken out of the list; the object still holds its nick.
  virtual void RemoveAccount(const TAccount& /*account*/) {}
  // Listed under a new nick; `oldNick` is the one it had.
  virtual void RenameAccount(const TAccount& /*account*/, std::string_view /*oldNick*/) {}
  // The whole list was replaced (load, import, profiles reloaded).
  virtual void RefreshList() {}
};
