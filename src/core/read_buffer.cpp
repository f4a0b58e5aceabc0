#include "core/read_buffer.h"

#include <cstring>
#include <string>

#include "core/buffer_pools.h"
#include "base/exceptions.h"
#include "utils/string_list.h"

namespace {

std::string BadParms(int a, int b) {
  return "BadParms(" + std::to_string(a) + ", " + std::to_string(b) + ")";
}

}  // namespace

TReadBuffer::~TReadBuffer() {
  if (data_ != nullptr) BufferPools().GiveBlock(kReadBlockPool, data_);
}

void TReadBuffer::Allocate() {
  if (data_ == nullptr) data_ = BufferPools().TakeBlock(kReadBlockPool);
}

int TReadBuffer::FreeSpace() const { return data_ == nullptr ? 0 : kReadBlockSize - filled_; }

void TReadBuffer::AddFilled(int count) {
  KAVRO_CHECK(count >= 0 && count <= FreeSpace(), BadParms(count, FreeSpace()));
  filled_ += count;
}

void TReadBuffer::Compact() {
  if (scan_ < filled_) {
    const int rest = filled_ - scan_;
    if (scan_ > 0) std::memmove(data_, data_ + scan_, static_cast<std::size_t>(rest));
    filled_ = rest;
    scan_ = rest;
  } else {
    Release();
  }
}

void TReadBuffer::Release() {
  if (data_ != nullptr) BufferPools().GiveBlock(kReadBlockPool, data_);
  data_ = nullptr;
  filled_ = 0;
  scan_ = 0;
  messageStart_ = 0;
  messageEnd_ = 0;
}

bool TReadBuffer::ResolveRange(int from, int& to) const {
  if (to < 0) to = messageEnd_;
  return from >= 0 && from <= to && to < filled_;
}

int TReadBuffer::Find(std::string_view pattern, int from, int to) const {
  if (pattern.empty() || !ResolveRange(from, to)) return -1;
  const std::string_view range(data_ + from, static_cast<std::size_t>(to - from + 1));
  const auto hit = range.find(pattern);
  return hit == std::string_view::npos ? -1 : from + static_cast<int>(hit);
}

int TReadBuffer::FindChar(char c, int from, int to) const {
  if (!ResolveRange(from, to)) return -1;
  const void* hit = std::memchr(data_ + from, c, static_cast<std::size_t>(to - from + 1));
  return hit == nullptr ? -1 : static_cast<int>(static_cast<const char*>(hit) - data_);
}

int TReadBuffer::FindCharBack(char c, int from, int to) const {
  if (!ResolveRange(from, to)) return -1;
  for (int i = to; i >= from; --i) {
    if (data_[i] == c) return i;
  }
  return -1;
}

std::string TReadBuffer::SubString(int from, int to) const {
  KAVRO_CHECK(from >= 0 && from <= to && to < filled_, BadParms(from, to));
  return std::string(data_ + from, static_cast<std::size_t>(to - from + 1));
}

void TReadBuffer::SplitWords(TStringList& list, int from, int to, int max) const {
  KAVRO_CHECK(to < filled_, BadParms(to, filled_));
  KAVRO_CHECK(from >= 0, BadParms(from, to));
  list.Clear();
  int i = from;
  while (i <= to && list.Count() < max) {
    if (data_[i] == ' ') {
      ++i;
      continue;
    }
    const int wordStart = i;
    while (i <= to && data_[i] != ' ') ++i;
    list.Add(std::string(data_ + wordStart, static_cast<std::size_t>(i - wordStart)));
  }
}

std::string TReadBuffer::GetMessage() const {
  if (messageStart_ < 0 || messageEnd_ < messageStart_ || messageEnd_ >= filled_) return {};
  return std::string(data_ + messageStart_,
                     static_cast<std::size_t>(messageEnd_ - messageStart_ + 1));
}

void TReadBuffer::SetMessage(int start, int end) {
  KAVRO_CHECK(start >= 0 && start <= end + 1 && end < filled_, BadParms(start, end));
  messageStart_ = start;
  messageEnd_ = end;
}

void TReadBuffer::SetScanPosition(int position) {
  KAVRO_CHECK(position >= 0 && position <= filled_, BadParms(position, filled_));
  scan_ = position;
}
