#pragma once

#include "utils/bin_list.h"
#include "utils/pattern_list.h"
#include "utils/wild_pattern_tree.h"

// Patterns whose characters may be '?' for any one character (DNS names), in
// a list sorted from the keys' ends. Otherwise as TPatternList.
template <typename T>
class TWildPatternList : public TBasicPatternList<T, TRevBinList<T>, TWPTree<T>, TWRPTree<T>> {
 public:
  using TBasicPatternList<T, TRevBinList<T>, TWPTree<T>, TWRPTree<T>>::TBasicPatternList;
};
