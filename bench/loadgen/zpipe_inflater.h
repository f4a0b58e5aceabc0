#pragma once

#include <cstddef>
#include <memory>
#include <string>

// Inflates the zlib stream that follows a "$ZOn|" block marker. Owns the
// zlib state; one stream at a time, reusable for the next block.
class TZPipeInflater {
 public:
  TZPipeInflater();
  ~TZPipeInflater();
  TZPipeInflater(const TZPipeInflater&) = delete;
  TZPipeInflater& operator=(const TZPipeInflater&) = delete;

  // Starts a new stream.
  void Begin();
  bool Active() const { return active_; }
  // Inflates `length` bytes into `out`. Returns how many input bytes were
  // used: fewer than `length` only when the stream ended, the rest is plain
  // text again. Throws EKavroException on a corrupt stream.
  std::size_t Feed(const char* data, std::size_t length, std::string& out);

 private:
  struct TState;
  std::unique_ptr<TState> state_;
  bool active_ = false;
};
