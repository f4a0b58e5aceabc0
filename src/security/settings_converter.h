#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"

class TAccounts;
class TAccountUsers;
class TBanList;
class TISPList;
class TProfiles;
class TXMLDocument;

// The saved lists of the predecessor product, Murn, that can be imported.
enum class TConvertKind : std::uint8_t { Profiles = 0, Accounts = 1, Bans = 2, ISPs = 3 };

// One importable file found in a folder.
struct TConvertItem {
  std::string FileName;  // full path
  TConvertKind Kind = TConvertKind::Profiles;
};

// The list entry of a kind: "Profiles", "Accounts", "Banlist", "ISP/IP list".
std::string_view ConvertCaption(TConvertKind kind);
// The memo line after an import of that kind.
std::string ConvertResultLine(TConvertKind kind, bool success);
inline constexpr std::string_view kConvertFinished = "Converting finished.";

// The Murn files in `folder`, in the order profiles, accounts, bans, ISPs.
// Names match in any letter case, since the files usually come from
// Windows; an exact lower-case name wins over other spellings. A missing or
// empty folder gives nothing.
std::vector<TConvertItem> ScanFolder(const std::string& folder);

// Murn's coded text: every character as '#' and its decimal code. The first
// character is skipped; each '#' ends a code, digits build it in 8 bits, a
// code of 0 adds nothing, anything else is ignored.
std::string DecodeCharCodes(std::string_view text);

// How many entries of a file were taken over and how many were passed by.
struct TConvertCounts {
  int Imported = 0;
  int Skipped = 0;
};

// Reads Murn's profiles, accounts, lasting bans and ISP list into this
// hub's lists, mapping Murn's fields onto ours. Writes nothing to disk: the
// lists are saved with the next save of all settings.
//
// Replaced and cleared entries go through the lists' own delete, so an
// account, profile or ISP restriction that a connection holds lives on until
// it is released. Whatever way an import ends, the accounts are pointed at
// the profiles of their names, the chat rooms re-resolve theirs, the
// logged-in users are re-bound and take their ISP's current restriction.
//
// Owns nothing; the lists and the users' side belong to the composition
// root. Main thread only.
class TSettingsConverter {
 public:
  using TMessageSink = std::function<void(const std::string& text)>;
  using TPageRefresh = std::function<void(TConvertKind kind)>;
  using TClock = std::function<TDateTime()>;

  TSettingsConverter(TProfiles& profiles, TAccounts& accounts, TBanList& bans, TISPList& isps);
  TSettingsConverter(const TSettingsConverter&) = delete;
  TSettingsConverter& operator=(const TSettingsConverter&) = delete;

  // The logged-in users to re-bind after an import; may be null.
  void SetAccountUsers(TAccountUsers* users) { users_ = users; }
  // The chat rooms hold profiles by name.
  void SetRoomsRelink(std::function<void()> relink) { roomsRelink_ = std::move(relink); }
  // The window's page of the list; nothing without a window.
  void SetPageRefresh(TPageRefresh refresh) { pageRefresh_ = std::move(refresh); }
  // Texts the window shows in a dialog: a wrong root, an unreadable file.
  void SetMessageSink(TMessageSink sink) { messages_ = std::move(sink); }
  // The import time; local time by default.
  void SetClock(TClock clock) { clock_ = std::move(clock); }

  // False when the file cannot be read, has another root or an exception
  // ended the import. `counts` (optional) receives the entries imported and
  // skipped.
  bool ImportProfiles(const std::string& file, bool clearOld, TConvertCounts* counts = nullptr);
  bool ImportAccounts(const std::string& file, bool clearOld, bool createMissingProfiles,
                      TConvertCounts* counts = nullptr);
  bool ImportBans(const std::string& file, bool clearOld, TConvertCounts* counts = nullptr);
  bool ImportISPs(const std::string& file, bool clearOld, TConvertCounts* counts = nullptr);
  // The import of the item's kind.
  bool Import(const TConvertItem& item, bool clearOld, bool createMissingProfiles,
              TConvertCounts* counts = nullptr);

 private:
  using TBody = std::function<void(const TXMLDocument& document, bool coded, TConvertCounts&)>;
  // Reads the file, checks its root and runs `body`; reports failures, then
  // runs Relink whatever happened.
  bool Run(TConvertKind kind, const std::string& file, TConvertCounts* counts, const TBody& body);
  void ReadProfiles(const TXMLDocument& document, bool coded, bool clearOld,
                    TConvertCounts& counts);
  void ReadAccounts(const TXMLDocument& document, bool coded, bool clearOld,
                    bool createMissingProfiles, TConvertCounts& counts);
  void ReadBans(const TXMLDocument& document, bool coded, bool clearOld, TConvertCounts& counts);
  void ReadISPs(const TXMLDocument& document, bool coded, bool clearOld, TConvertCounts& counts);
  void Relink(TConvertKind kind);
  void Message(const std::string& text) const;
  TDateTime Now() const;

  TProfiles& profiles_;
  TAccounts& accounts_;
  TBanList& bans_;
  TISPList& isps_;
  TAccountUsers* users_ = nullptr;
  std::function<void()> roomsRelink_;
  TPageRefresh pageRefresh_;
  TMessageSink messages_;
  TClock clock_;
};
