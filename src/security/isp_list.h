#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/conn_restriction.h"
#include "utils/ip_list.h"

class TLanguage;
class TStringList;
struct TISP;

// What the ISP list tells a front end showing it, after each change; the
// daemon keeps the do-nothing defaults. RemoveISPNode comes while the ISP
// still exists; RefreshTree after a load or a clear, in place of one call
// per ISP.
class TISPListView {
 public:
  virtual ~TISPListView() = default;
  virtual void AddISPNode(TISP& /*isp*/) {}
  virtual void RemoveISPNode(TISP& /*isp*/) {}
  virtual void AddIPNode(std::string_view /*mask*/, TISP& /*isp*/) {}
  virtual void RemoveIPNode(std::string_view /*mask*/, TISP& /*isp*/) {}
  virtual void RefreshTree() {}
};

// One internet provider or network: the nick prefixes its users must wear
// and the connection restriction they get in place of the hub-wide one.
struct TISP {
  std::string Name;         // the key; compared without case
  std::string Description;
  std::string Prefix;       // ';'-separated nick prefixes; empty: none
  TConnRestriction Restriction;
};

// The ISPs by name and one IP trie of all their ranges ("10.*",
// "10.1.2.*", "1.2.3.4", "*"); a range belongs to one ISP, and an address
// belongs to the ISP of the longest range covering it. Stored in
// settings/isps.xml.
//
// Connections copy an ISP's restriction when they are admitted, so deleting
// an ISP or reloading the file frees nothing a connection uses; after such a
// change the users-refresh callback lets the user list hand the listed users
// their current restriction.
//
// Owns its ISPs; not the language or the callbacks' targets. Main thread
// only.
class TISPList {
 public:
  using TFeedSink = std::function<void(const std::string& line)>;
  using TUsersRefresh = std::function<void()>;

  // Names text: after this many names "..." ends it.
  static constexpr int kMaxNamesInText = 32;

  explicit TISPList(const TLanguage& language, TFeedSink errorSink = {});
  ~TISPList();
  TISPList(const TISPList&) = delete;
  TISPList& operator=(const TISPList&) = delete;

  // Called after deletes, range changes, clears and loads; empty: nothing.
  void SetUsersRefresh(TUsersRefresh refresh) { usersRefresh_ = std::move(refresh); }
  // Null: nobody is told.
  void SetView(TISPListView* view) { view_ = view; }

  // Runs the users-refresh callback; for whoever changes a restriction in
  // place.
  void RefreshUsers() const;

  TISP* Find(std::string_view name) const;
  // The ISP of the longest stored range covering `address` (an address or a
  // range), or null.
  TISP* FindByIP(std::string_view address) const;

  // Stores `isp` under `name`; null when the name is empty or held.
  TISP* Add(std::string_view name, TISP isp = {});
  // Removes the ISP with its ranges; false when there is none.
  bool Delete(std::string_view name);
  // Adds a range (normalised first: "10.0.*.*" is "10.0.*") to an ISP of
  // this list. False for a malformed range, one held already by any ISP, or
  // an ISP not in the list.
  bool AddIP(TISP& isp, std::string_view mask);
  bool AddIPByName(std::string_view name, std::string_view mask);
  // Removes the stored range that FindByIP finds for `address` (an address
  // or a range): the longest covering one, which is also `removedMask`.
  // False, and nothing removed, when the text is malformed or no range
  // covers it.
  bool DeleteIP(std::string_view address, std::string* removedMask = nullptr);
  // False when `newName` is empty, equals the current name exactly, or
  // names another ISP.
  bool Rename(TISP& isp, std::string_view newName);

  // In name order; 0 <= index < GetCount().
  int GetCount() const { return static_cast<int>(items_.size()); }
  TISP& GetItem(int index) const;
  // Frees every ISP and empties the trie.
  void Clear();

  // Clears `list`, then adds (range, ISP) for each range of `isp`, or of
  // every ISP when null, in the trie's order.
  void GetMasks(TStringList& list, const TISP* isp) const;
  // Clears `list`, then adds (range, ISP) for each range at or below `mask`.
  void GetMasksUnder(TStringList& list, std::string_view mask) const;
  int RangeCount() const { return ranges_.Count(); }

  // The names in name order: "a", "a and b", "a, b and c"; past
  // kMaxNamesInText names the text stops and ends in "...". Kept until the
  // list or the language's word for "and" changes.
  const std::string& GetNamesText() const;

  // Reads settings/isps.xml. False when it is missing or cannot be parsed;
  // a damaged file is reported, changes nothing and keeps saving refused
  // until a load succeeds. A later ISP with a name read before, and a range
  // that is malformed or held already, are dropped.
  bool Load();
  // Writes the list, owner-only. False before the first load attempt,
  // after a damaged load, or when the write fails.
  bool Save();
  bool Loading() const { return loading_; }
  const std::string& FileVersion() const { return version_; }

  static std::string FilePath();

 private:
  // Where `name` is or would go in items_.
  std::vector<std::unique_ptr<TISP>>::const_iterator Position(std::string_view name) const;
  void ClearItems();
  void Changed() { namesValid_ = false; }
  TISPListView* View() const { return bulk_ ? nullptr : view_; }
  void ReportError(const std::string& line) const;

  const TLanguage& language_;
  TFeedSink errorSink_;
  TUsersRefresh usersRefresh_;
  TISPListView* view_ = nullptr;
  bool bulk_ = false;  // a load: one RefreshTree at its end
  std::vector<std::unique_ptr<TISP>> items_;  // name order
  TIPList<TISP> ranges_;
  mutable std::string namesText_;
  mutable std::string namesAnd_;  // the word "and" namesText_ was built with
  mutable bool namesValid_ = false;
  bool loading_ = true;
  bool saveBlocked_ = false;
  std::string version_;
};
