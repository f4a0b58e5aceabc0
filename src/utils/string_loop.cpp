#include "utils/string_loop.h"

#include <utility>

#include "base/exceptions.h"

namespace {

const std::string kEmpty;

int CheckedCapacity(int capacity) {
  if (capacity < 1)
    throw EKavroException("TStringLoop.Create", "capacity " + std::to_string(capacity) + " is below 1");
  return capacity;
}

}  // namespace

TStringLoop::TStringLoop(int capacity) : lines_(CheckedCapacity(capacity)), capacity_(capacity) {}

void TStringLoop::Add(std::string line) {
  if (full_) {
    lines_.Put(position_, std::move(line));
    position_ = (position_ + 1) % capacity_;
    return;
  }
  lines_.Add(std::move(line));
  ++position_;
  if (lines_.Count() == capacity_) {
    position_ = 0;
    full_ = true;
  }
}

int TStringLoop::GetCount() const { return full_ ? capacity_ : lines_.Count(); }

const std::string& TStringLoop::GetItem(int i) const {
  if (i < 0 || i >= GetCount()) return kEmpty;
  return lines_.Get(full_ ? (i + position_) % capacity_ : i);
}
