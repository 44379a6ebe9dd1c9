#include "grid/SortRows.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <string_view>

namespace grid {

namespace {

// Empty cells, then numbers, then texts (dates are texts whose form already sorts in time order).
int ClassOf(CellKind k) {
  switch (k) {
    case CellKind::Empty:
      return 0;
    case CellKind::Int:
    case CellKind::Double:
    case CellKind::NumText:
      return 1;
    case CellKind::Text:
    case CellKind::Date:
      return 2;
  }
  return 2;
}

long double NumberOf(const ColumnStore& col, int row) {
  switch (col.Kind(row)) {
    case CellKind::Int:
      return static_cast<long double>(static_cast<qint64>(col.Slot(row)));
    case CellKind::Double:
      return std::bit_cast<double>(col.Slot(row));
    default: {
      std::string_view s = col.Utf8(row);
      if (!s.empty() && s.front() == '+') s.remove_prefix(1);
      long double v = 0;
      std::from_chars(s.data(), s.data() + s.size(), v);
      return v;
    }
  }
}

// The UTF-8 text of a text or date cell; a date is written into buf.
std::string_view TextOf(const ColumnStore& col, int row, char (&buf)[19]) {
  if (col.Kind(row) != CellKind::Date) return col.Utf8(row);
  WriteDateText(std::int64_t(col.Slot(row)), buf);
  return {buf, 19};
}

// A 64-bit key whose order never contradicts CompareCells within one class; equal keys still
// need the full comparison.
std::uint64_t PrefixKey(const ColumnStore& col, int row) {
  switch (ClassOf(col.Kind(row))) {
    case 0:
      return 0;
    case 1: {
      double d = double(NumberOf(col, row));
      if (d == 0) d = 0;
      const std::uint64_t bits = std::bit_cast<std::uint64_t>(d);
      return (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
    }
    default: {
      char buf[19];
      const std::string_view s = TextOf(col, row, buf);
      std::uint64_t key = 0;
      for (std::size_t i = 0; i < 8; ++i)
        key = (key << 8) | (i < s.size() ? std::uint8_t(s[i]) : 0u);
      return key;
    }
  }
}

}  // namespace

int CompareCells(const ColumnStore& col, int a, int b) {
  const CellKind ka = col.Kind(a);
  const CellKind kb = col.Kind(b);
  const int ca = ClassOf(ka);
  const int cb = ClassOf(kb);
  if (ca != cb) return ca < cb ? -1 : 1;
  if (ca == 0) return 0;
  if (ca == 1) {
    if (ka == CellKind::Int && kb == CellKind::Int) {
      const auto x = qint64(col.Slot(a));
      const auto y = qint64(col.Slot(b));
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    const long double x = NumberOf(col, a);
    const long double y = NumberOf(col, b);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if (ka == CellKind::Date && kb == CellKind::Date) {
    const auto x = col.Slot(a);
    const auto y = col.Slot(b);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  char bufA[19];
  char bufB[19];
  const std::string_view x = TextOf(col, a, bufA);
  const std::string_view y = TextOf(col, b, bufB);
  // Byte order of UTF-8 is code point order.
  const int c = x.compare(y);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void SortRows(std::vector<std::unique_ptr<ColumnStore>>& cols, int first, int last, int c1, int c2,
              const std::vector<SortKey>& keys) {
  if (keys.empty() || last <= first) return;
  struct Entry {
    std::uint64_t key;
    std::uint32_t row;
    std::uint8_t cls;
  };
  const ColumnStore& primary = *cols[std::size_t(keys[0].col)];
  const bool desc1 = keys[0].descending;
  std::vector<Entry> entries(std::size_t(last - first + 1));
  for (int r = first; r <= last; ++r)
    entries[std::size_t(r - first)] = {PrefixKey(primary, r), std::uint32_t(r),
                                       std::uint8_t(ClassOf(primary.Kind(r)))};

  auto less = [&](const Entry& a, const Entry& b) {
    if (a.cls != b.cls) return desc1 ? a.cls > b.cls : a.cls < b.cls;
    if (a.key != b.key) return desc1 ? a.key > b.key : a.key < b.key;
    int c = a.cls == 0 ? 0 : CompareCells(primary, int(a.row), int(b.row));
    if (c != 0) return desc1 ? c > 0 : c < 0;
    for (std::size_t k = 1; k < keys.size(); ++k) {
      c = CompareCells(*cols[std::size_t(keys[k].col)], int(a.row), int(b.row));
      if (c != 0) return keys[k].descending ? c > 0 : c < 0;
    }
    return false;
  };
  std::stable_sort(entries.begin(), entries.end(), less);

  std::vector<std::uint32_t> order(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) order[i] = entries[i].row;
  entries.clear();
  entries.shrink_to_fit();
  for (int c = c1; c <= c2; ++c) cols[std::size_t(c)]->Reorder(first, order);
}

}  // namespace grid
