#pragma once

#include <string>
#include <string_view>

// An immutable run of complete protocol messages that many write buffers
// queue at once (the nick list's parts), shared by reference count: the
// last buffer to send it frees it. Owns its text and, once a ZPipe client
// asked for it, the deflated form. Main thread only: the deflated form is
// made lazily on a const object.
class TSharedBlock {
 public:
  explicit TSharedBlock(std::string text) : text_(std::move(text)) {}
  TSharedBlock(const TSharedBlock&) = delete;
  TSharedBlock& operator=(const TSharedBlock&) = delete;

  std::string_view Text() const { return text_; }
  int Size() const { return static_cast<int>(text_.size()); }
  // "$ZOn|" and one complete zlib stream of Text(), deflated on the first
  // call; empty when the text is too short or deflate does not pay.
  std::string_view Packed() const;

 private:
  std::string text_;
  mutable std::string packed_;
  mutable bool packTried_ = false;
};

// Deflates `text` into "$ZOn|" and one zlib stream; empty when the text is
// shorter than is worth trying or deflate gains too little.
std::string PackMessages(std::string_view text);
