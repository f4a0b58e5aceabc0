#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/write_buffer.h"
#include "base/date_time.h"

class TLanguage;
class TStringLoop;

// The last main-chat lines, each stamped with the local time it was said,
// and their rendering for the history command. Owns its ring of lines and
// the answer buffer it reuses; not the language texts. Main thread only.
class THistoryManager {
 public:
  static constexpr int kInitialCapacity = 100;
  static constexpr int kInitialDefaultCount = 20;

  using TClock = std::function<TDateTime()>;

  // `clock` gives the local time; empty: the system's.
  explicit THistoryManager(TLanguage& language, TClock clock = {});
  ~THistoryManager();
  THistoryManager(const THistoryManager&) = delete;
  THistoryManager& operator=(const THistoryManager&) = delete;

  // Drops every line. A capacity of 0 (or below) keeps no history at all;
  // the default count never exceeds the capacity.
  void Resize(int capacity, int defaultCount);
  // Stores "[hh:mm:ss] " + the relayed line (without its final '|').
  void Add(std::string_view line);
  // The header and the last `count` lines, oldest first, each ended by CR LF;
  // 0 asks for the default count. Valid until the next call.
  std::string_view BuildHistory(int count);

  int Capacity() const { return capacity_; }
  int DefaultCount() const { return defaultCount_; }
  int Count() const;

 private:
  TLanguage& language_;
  TClock clock_;
  std::unique_ptr<TStringLoop> lines_;  // null while the capacity is 0
  int capacity_ = 0;
  int defaultCount_ = 0;
  TWriteBuffer answer_{0};
};
