#pragma once

#include <string>
#include <string_view>

class TStringList;

// Unparsed input of one connection. Owns a 32768-byte block from the read
// pool only while bytes wait to be parsed; receives write into FreeArea() and
// never more than FreeSpace() bytes. Every search and extraction is bounded
// by the filled length, since all of it is client data. Main thread only.
class TReadBuffer {
 public:
  TReadBuffer() = default;
  ~TReadBuffer();

  TReadBuffer(const TReadBuffer&) = delete;
  TReadBuffer& operator=(const TReadBuffer&) = delete;

  // Takes a block unless one is held.
  void Allocate();
  int FreeSpace() const;
  char* FreeArea() { return data_ == nullptr ? nullptr : data_ + filled_; }
  void AddFilled(int count);  // after a receive of `count` bytes into FreeArea()

  // Moves the bytes from the scan position on to the block start, or gives
  // the block back when nothing is left to parse.
  void Compact();
  void Release();

  // First / last match in from..to inclusive; a negative `to` means the end
  // of the current message; -1 when absent or the range is empty or invalid.
  int Find(std::string_view pattern, int from, int to) const;
  int FindChar(char c, int from, int to) const;
  int FindCharBack(char c, int from, int to) const;

  // Bytes from..to inclusive; EAssertionFailed "BadParms(from, to)" when the
  // range is reversed or leaves the filled bytes.
  std::string SubString(int from, int to) const;
  // Clears `list` and fills it with the space-separated words of from..to,
  // empty words skipped, at most `max` words (the rest is ignored).
  void SplitWords(TStringList& list, int from, int to, int max) const;
  // The current message, start..end inclusive ("" when none is set).
  std::string GetMessage() const;

  // The framing state the protocol parser moves along.
  void SetMessage(int start, int end);
  void SetScanPosition(int position);
  int MessageStart() const { return messageStart_; }
  int MessageEnd() const { return messageEnd_; }
  int ScanPosition() const { return scan_; }

  const char* Data() const { return data_; }
  int Filled() const { return filled_; }
  bool HasBlock() const { return data_ != nullptr; }

 private:
  // Clamps a negative `to` to the message end; false when from..to is not a
  // non-empty range inside the filled bytes.
  bool ResolveRange(int from, int& to) const;

  char* data_ = nullptr;
  int filled_ = 0;
  int messageStart_ = 0;
  int messageEnd_ = 0;  // inclusive: the position of the message's '|'
  int scan_ = 0;        // where the search for the next '|' resumes
};
