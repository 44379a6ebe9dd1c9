#include "grid/BigBlock.h"

#include <cstdint>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace grid {

namespace {

#ifdef __linux__
// Maps twice the size and keeps the aligned middle: mmap itself only aligns to a page.
char* MapHuge() {
  const std::size_t span = 2 * kHugeBlock;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  char* base = static_cast<char*>(raw);
  const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(base);
  char* aligned = base + ((kHugeBlock - at % kHugeBlock) % kHugeBlock);
  if (aligned > base) munmap(base, std::size_t(aligned - base));
  char* end = aligned + kHugeBlock;
  if (base + span > end) munmap(end, std::size_t(base + span - end));
  madvise(aligned, kHugeBlock, MADV_HUGEPAGE);
  return aligned;
}
#endif

}  // namespace

void BlockFree::operator()(char* p) const {
#ifdef __linux__
  if (huge) {
    munmap(p, kHugeBlock);
    return;
  }
#endif
  delete[] p;
}

BlockPtr AllocateBlock(std::size_t size) {
#ifdef __linux__
  if (size == kHugeBlock) return BlockPtr(MapHuge(), BlockFree{true});
#endif
  return BlockPtr(new char[size], BlockFree{false});
}

}  // namespace grid
