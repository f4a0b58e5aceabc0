#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

class THubSocket;
class TLanguage;
class TNickList;
class TWriteBuffer;
enum class TLanguageKey;

// Ranks the logged-in users by one traffic counter and writes the first N
// as a table. The ranking is rebuilt for each report and emptied after it;
// entries point at users only for the length of one report. Main thread
// only.
class TTrafficStats {
 public:
  using TTickClock = std::function<std::uint64_t()>;  // ms, as ConnectTick

  TTrafficStats(TNickList& nickList, const TLanguage& language, TTickClock clock);

  // Each appends its table and the closing "|" to a chat message the
  // caller has begun; N <= 0 writes nothing.
  void WriteSearchStats(TWriteBuffer& out, int n);
  void WriteSRStats(TWriteBuffer& out, int n);
  void WriteConnectStats(TWriteBuffer& out, int n);
  void WriteNickListStats(TWriteBuffer& out, int n);
  void WriteMyINFOStats(TWriteBuffer& out, int n);
  void WriteMCStats(TWriteBuffer& out, int n);
  void WritePMStats(TWriteBuffer& out, int n);
  void WriteDataStats(TWriteBuffer& out, int n);
  void WriteBWStats(TWriteBuffer& out, int n);

  // Keeps the user when its value beats the threshold; among equal values
  // the one inserted first stays in front.
  void Insert(THubSocket& user, std::int64_t value);

 private:
  enum class TValueText { Row, Bytes, BytesPerSecond };
  struct TEntry {
    std::int64_t Value;
    THubSocket* User;
  };
  using TValueOf = std::function<bool(const THubSocket&, std::int64_t&)>;

  void Report(TWriteBuffer& out, int n, TLanguageKey header, TLanguageKey row, TValueText kind,
              const TValueOf& valueOf);

  TNickList& nickList_;
  const TLanguage& language_;
  TTickClock clock_;
  std::vector<TEntry> entries_;  // descending
  std::size_t length_ = 10;
  std::int64_t threshold_ = -1;
};
