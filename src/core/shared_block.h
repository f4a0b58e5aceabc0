#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// An immutable run of complete protocol messages that many write buffers
// queue at once (the nick list's parts), shared by reference count: the
// last buffer to send it frees it. Owns its text and, once a ZPipe client
// asked for it, the deflated form. Main thread only: the deflated form is
// made lazily on a const object.
//
// A growing block (MakeGrowing) has a fixed room that later broadcasts fill
// one after another: bytes once written never move or change, so buffers
// may queue a part while more is appended behind it.
class TSharedBlock {
 public:
  explicit TSharedBlock(std::string text);
  TSharedBlock(const TSharedBlock&) = delete;
  TSharedBlock& operator=(const TSharedBlock&) = delete;

  // An empty growing block with room for `room` bytes.
  struct TGrowing {};
  TSharedBlock(TGrowing, std::size_t room) : text_(room, '\0'), growing_(true) {}

  std::string_view Text() const { return {text_.data(), size_}; }
  int Size() const { return static_cast<int>(size_); }
  bool Growing() const { return growing_; }
  std::size_t Room() const { return growing_ ? text_.size() - size_ : 0; }
  // Appends within Room(); the written bytes stay where they are.
  void Append(std::string_view text);

  // Heap bytes the block holds: its text and its deflated form.
  std::size_t Footprint() const { return text_.capacity() + packed_.capacity(); }

  // "$ZOn|" and one complete zlib stream of Text(), deflated on the first
  // call; empty when the text is too short or deflate does not pay. Not for
  // a growing block, whose text is not final.
  std::string_view Packed() const;

 private:
  std::string text_;
  std::size_t size_ = 0;
  bool growing_ = false;
  mutable std::string packed_;
  mutable bool packTried_ = false;
};

// Deflates `text` into "$ZOn|" and one zlib stream; empty when the text is
// shorter than is worth trying or deflate gains too little. `fast`: the
// fastest level, for the large blocks of a login storm.
std::string PackMessages(std::string_view text, bool fast = true);
