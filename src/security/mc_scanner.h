#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "utils/pattern_tree.h"

class TKennylize;
class TLanguage;
class TLunarize;
class TSettings;
class TMCScannerItem;

// Seconds of the day: 0 is 00:00:00, kLastSecondOfDay is 23:59:59.
inline constexpr int kLastSecondOfDay = 86399;

// What one main-chat scanner action does to a line, by its stored number.
enum TMCAction : int {
  mcaReplaceWord = 0,
  mcaLunarizeWord = 1,
  mcaKennylizeWord = 2,
  mcaReplaceMessage = 3,
  mcaLunarizeMessage = 4,
  mcaKennylizeMessage = 5,
  mcaSkipMessage = 6,
  mcaDropUser = 7,
  mcaKickUser = 8,
};

// One reaction of an item: for writers below `Level`, inside its window.
struct TMCScannerItemAction {
  TMCScannerItem* Owner = nullptr;
  bool UseTime = false;
  int Start = 0;                  // seconds of the day
  int Stop = kLastSecondOfDay;
  int Level = 0;
  int Action = mcaReplaceWord;
  std::vector<std::string> Replace;

  std::string GetReplaceText() const;  // joined by '|'
  void SetReplaceText(std::string_view text);
  // Always without UseTime; a window with Start > Stop runs over midnight.
  bool IsActive(int timeOfDay) const;
};

// A search word and its actions, last one first in priority. Owns them.
class TMCScannerItem {
 public:
  std::string Name;  // set by the scanner's Add / Rename
  bool Enable = true;
  bool RestrictStart = false;
  bool RestrictStop = false;
  bool ExpandStart = false;
  bool ExpandStop = false;

  // Takes the action; its window is cut to the day.
  TMCScannerItemAction& AddAction(std::unique_ptr<TMCScannerItemAction> action);
  std::unique_ptr<TMCScannerItemAction> RemoveAction(int index);
  TMCScannerItemAction& GetAction(int index) const { return *actions_.at(static_cast<std::size_t>(index)); }
  int GetActionCount() const { return static_cast<int>(actions_.size()); }
  // From the last action back: the first for a writer of `level` (the
  // action's Level must be above it) active at `timeOfDay`; null: none.
  const TMCScannerItemAction* FindAction(int level, int timeOfDay) const;
  // Whether a window (untimed: the whole day) overlaps one of the actions'.
  bool Overlaps(bool useTime, int start, int stop) const;

 private:
  std::vector<std::unique_ptr<TMCScannerItemAction>> actions_;
};

// What the scanner tells the page that shows it; the daemon keeps these
// do-nothing defaults.
class TMCScannerView {
 public:
  virtual ~TMCScannerView() = default;
  // Before the item is freed.
  virtual void RemoveItem(const TMCScannerItem& /*item*/) {}
  // After the file was read: every item may be new.
  virtual void RefreshList() {}
};

// The scanner's answer for one line.
struct TMCScanOutcome {
  bool Pass = true;        // false: nothing of the line goes out
  int Action = -1;         // the refusing action (6, 7, 8) when !Pass
  bool Kennylize = false;  // asked by an action 5
  bool Lunarize = false;   // asked by an action 4
  std::string Message;     // for the writer: skip texts, drop or kick text
  std::string BanReason;   // action 8: the temporary ban's reason
};

// The main-chat search words, in name order, with a case-blind trie giving
// the longest name at a position. Stored in settings/mc_scanner.xml. Owns
// its items; not the settings, texts or transforms. Main thread only.
class TMCScanner {
 public:
  using TFeedSink = std::function<void(const std::string& line)>;

  TMCScanner(const TSettings& settings, const TLanguage& language, TLunarize& lunarize,
             TKennylize& kennylize, TFeedSink errorSink = {});
  ~TMCScanner();
  TMCScanner(const TMCScanner&) = delete;
  TMCScanner& operator=(const TMCScanner&) = delete;

  // Scans the buffer's bytes from `offset` to its end, written by `nick` of
  // profile level `level` at `timeOfDay` (seconds); a passing line may have
  // been changed in the buffer.
  TMCScanOutcome Scan(std::string& buffer, std::size_t offset, std::string_view nick, int level,
                      int timeOfDay);
  void Seed(unsigned seed) { rng_.seed(seed); }

  TMCScannerItem* Find(std::string_view name) const;
  // Null when the name is empty or held.
  TMCScannerItem* Add(std::string_view name, std::unique_ptr<TMCScannerItem> item = nullptr);
  bool Delete(std::string_view name);
  // Refused when equal to the current name exactly or held by another item.
  bool Rename(TMCScannerItem& item, std::string_view newName);
  int GetCount() const { return static_cast<int>(items_.size()); }
  TMCScannerItem& GetItem(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
  void Clear();
  // Null: no view.
  void SetView(TMCScannerView* view) { view_ = view; }

  // Reads settings/mc_scanner.xml; false when missing or damaged (a damaged
  // file is reported and saving stays refused until a load succeeds).
  bool Load();
  bool Save();
  bool Loading() const { return loading_; }
  const std::string& FileVersion() const { return version_; }
  static std::string FilePath();

 private:
  std::vector<std::unique_ptr<TMCScannerItem>>::const_iterator Position(std::string_view name) const;
  bool IsBound(char c) const;
  std::string DrawReplace(const TMCScannerItemAction& action, std::string_view nick);

  const TSettings& settings_;
  const TLanguage& language_;
  TLunarize& lunarize_;
  TKennylize& kennylize_;
  TFeedSink errorSink_;
  TMCScannerView* view_ = nullptr;
  std::vector<std::unique_ptr<TMCScannerItem>> items_;  // name order
  TPTree<TMCScannerItem> names_;
  std::mt19937 rng_;
  bool loading_ = true;
  bool saveBlocked_ = false;
  std::string version_;
};

// "hh:mm:ss" to seconds of the day; false on anything else.
bool ParseTimeOfDay(std::string_view text, int& seconds);
std::string FormatTimeOfDay(int seconds);
