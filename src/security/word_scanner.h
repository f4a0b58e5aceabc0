#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "utils/pattern_tree.h"

class TSettings;

// What a private-message or search scanner hit does, by its stored number.
enum TWordScanAction : int { wsaSkip = 0, wsaDrop = 1, wsaKick = 2 };

// A search word of the private-message or search scanner.
struct TWordScannerItem {
  std::string Name;    // set by the scanner's Add / Rename
  std::string Reason;  // sent to the writer on a hit; empty: nothing sent
  bool Enable = true;
  int Level = 10;      // writers of a lower profile level are affected
  bool RestrictStart = false;
  bool RestrictStop = false;
  int Action = wsaSkip;
};

struct TPMScannerItem : TWordScannerItem {
  static constexpr std::string_view kFileName = "pm_scanner.xml";
  static constexpr bool kSearchBounds = false;
};

struct TSearchScannerItem : TWordScannerItem {
  static constexpr std::string_view kFileName = "search_scanner.xml";
  // A search pattern's words are also bounded by '$' and '|'.
  static constexpr bool kSearchBounds = true;
};

// What a scanner tells the page that shows it; the daemon keeps these
// do-nothing defaults.
template <typename Item>
class TWordScannerView {
 public:
  virtual ~TWordScannerView() = default;
  // Before the item is freed.
  virtual void RemoveItem(const Item& /*item*/) {}
  // After the file was read: every item may be new.
  virtual void RefreshList() {}
};

// The private-message and search scanners: the words in name order and a
// case-blind trie giving the longest name at a position. Both files have
// the root "PrivateMessageScanner". Owns its items; not the settings. Main
// thread only.
template <typename Item>
class TWordScanner {
 public:
  using TFeedSink = std::function<void(const std::string& line)>;

  explicit TWordScanner(const TSettings& settings, TFeedSink errorSink = {});
  ~TWordScanner();
  TWordScanner(const TWordScanner&) = delete;
  TWordScanner& operator=(const TWordScanner&) = delete;

  // The item hit in `text` by a writer of profile level `level`; null: the
  // text passes. An item whose Action is none of 0..2 lets the walk go on
  // after its word.
  const Item* Scan(std::string_view text, int level) const;

  Item* Find(std::string_view name) const { return names_.FindExact(name); }
  // Null when the name is empty or held.
  Item* Add(std::string_view name, Item item = {});
  bool Delete(std::string_view name);
  // Refused when equal to the current name exactly or held by another item.
  bool Rename(Item& item, std::string_view newName);
  int GetCount() const { return static_cast<int>(items_.size()); }
  Item& GetItem(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
  void Clear();
  // Null: no view.
  void SetView(TWordScannerView<Item>* view) { view_ = view; }

  // Reads the file; false when missing or damaged (a damaged file is
  // reported and saving stays refused until a load succeeds).
  bool Load();
  bool Save();
  bool Loading() const { return loading_; }
  const std::string& FileVersion() const { return version_; }
  static std::string FilePath();

 private:
  bool IsBound(char c) const;
  void Insert(std::unique_ptr<Item> item);

  const TSettings& settings_;
  TFeedSink errorSink_;
  TWordScannerView<Item>* view_ = nullptr;
  std::vector<std::unique_ptr<Item>> items_;  // name order
  TPTree<Item> names_;
  bool loading_ = true;
  bool saveBlocked_ = false;
  std::string version_;
};

using TPMScanner = TWordScanner<TPMScannerItem>;
using TSearchScanner = TWordScanner<TSearchScannerItem>;
using TPMScannerView = TWordScannerView<TPMScannerItem>;
using TSearchScannerView = TWordScannerView<TSearchScannerItem>;

extern template class TWordScanner<TPMScannerItem>;
extern template class TWordScanner<TSearchScannerItem>;
