#pragma once

#include <cstddef>
#include <vector>

namespace plasmabox {

// Asks the kernel for 2 MB pages over the whole such pages inside
// [begin, begin + bytes), before anything is written there. A large array
// then costs one page fault per 2 MB instead of one per 4 KB when first
// written; on virtual machines, where a fault is expensive, that is most of
// the cost of allocating a field. Only a hint: nothing changes where the
// kernel declines.
void adviseLargePages(const void* begin, std::size_t bytes);

// v.assign(n, value), with fresh storage advised to use large pages when v
// has to grow.
template <class T>
void assignLarge(std::vector<T>& v, std::size_t n, const T& value) {
  if (v.capacity() < n) {
    std::vector<T> fresh;
    fresh.reserve(n);
    adviseLargePages(fresh.data(), n * sizeof(T));
    v.swap(fresh);
  }
  v.assign(n, value);
}

}  // namespace plasmabox
