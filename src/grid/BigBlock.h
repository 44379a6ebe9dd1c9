#pragma once
// Memory for the grid's columns. Blocks of kHugeBlock bytes are aligned so that the system may
// back each with one huge page: a million-row fill then takes a few dozen page faults instead of
// tens of thousands, which cost more than the copying itself.
#include <cstddef>
#include <memory>

namespace grid {

inline constexpr std::size_t kHugeBlock = std::size_t(2) << 20;

struct BlockFree {
  bool huge = false;
  void operator()(char* p) const;
};
using BlockPtr = std::unique_ptr<char[], BlockFree>;

// Uninitialised memory of the given size; throws std::bad_alloc as new does.
BlockPtr AllocateBlock(std::size_t size);

}  // namespace grid
