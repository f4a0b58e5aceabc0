#pragma once

#include <string>

#include "utils/string_list.h"

// A ring of the last N lines (the main-chat history keeps its lines in one).
// Once full, each Add overwrites the oldest line, so memory stays bounded no
// matter how long the hub runs.
class TStringLoop {
 public:
  // Throws EKavroException when capacity is below 1: a ring that can hold
  // nothing has no oldest line to overwrite.
  explicit TStringLoop(int capacity);

  void Add(std::string line);

  // N once full, else the number of lines added.
  int GetCount() const;

  // The i-th line counted from the oldest; "" when i is out of range.
  const std::string& GetItem(int i) const;

  int Capacity() const { return capacity_; }

 private:
  TStringList lines_;
  int capacity_;
  int position_ = -1;  // once full: the oldest line, overwritten next
  bool full_ = false;
};
