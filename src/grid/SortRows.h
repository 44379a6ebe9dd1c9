#pragma once
// Sorting the rows of a grid block. Numbers compare as numbers, dates in time order, texts by
// code point, and empty cells come before everything else; the sort is stable. Only a row
// permutation is sorted; the cells are moved once at the end.
#include <memory>
#include <vector>

#include "grid/ColumnStore.h"

namespace grid {

struct SortKey {
  int col = 0;  // 0-based column index
  bool descending = false;
};

// Negative, zero or positive as the cell of row a sorts before, with or after that of row b.
int CompareCells(const ColumnStore& col, int a, int b);

// Sorts rows [first, last] (0-based) by the keys and moves the cells of columns [c1, c2].
void SortRows(std::vector<std::unique_ptr<ColumnStore>>& cols, int first, int last, int c1, int c2,
              const std::vector<SortKey>& keys);

}  // namespace grid
