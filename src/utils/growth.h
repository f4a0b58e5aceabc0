#pragma once

// The capacity the program's growable arrays move to when an append finds
// them full: a third more above 64 entries, 4 more below 9, else 16 more.
constexpr int GrowCapacity(int capacity) {
  if (capacity > 64) return capacity + capacity / 3;
  if (capacity < 9) return capacity + 4;
  return capacity + 16;
}
