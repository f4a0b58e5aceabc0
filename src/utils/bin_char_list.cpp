#include "utils/bin_char_list.h"

int GrowCharListCapacity(int capacity) {
  if (capacity < 9) return capacity + 4;
  if (capacity <= 64) return capacity + 16;
  return capacity + capacity / 4;
}
