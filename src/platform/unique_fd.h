#pragma once

// Owns one file descriptor and closes it once: on Close, Reset or
// destruction. Move-only.
class TUniqueFd {
 public:
  TUniqueFd() = default;
  explicit TUniqueFd(int fd) : fd_(fd) {}
  TUniqueFd(TUniqueFd&& other) noexcept : fd_(other.Release()) {}
  TUniqueFd& operator=(TUniqueFd&& other) noexcept;
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;
  ~TUniqueFd() { Reset(); }

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  int Release();            // gives the descriptor up without closing it
  void Reset(int fd = -1);  // closes the held descriptor, holds `fd`
  // Closes now; false when close reports an error (a delayed write failure
  // on some file systems), which writers of whole files must not ignore.
  bool Close();

 private:
  int fd_ = -1;
};
