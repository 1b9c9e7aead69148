#include "mesh/largePages.h"

#include <sys/mman.h>

#include <cstdint>

namespace plasmabox {

void adviseLargePages([[maybe_unused]] const void* begin, [[maybe_unused]] std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t LARGE_PAGE = uintptr_t{1} << 21;
  const auto start = reinterpret_cast<uintptr_t>(begin);
  const uintptr_t first = (start + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
  const uintptr_t last = (start + bytes) & ~(LARGE_PAGE - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace plasmabox
