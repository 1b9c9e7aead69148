#include "output/imageArrays.h"

#include <cstring>

namespace plasmabox {

std::vector<ImageArray> imageArrays(const World& world, const std::vector<Species>& species) {
  const Grid& g = world.grid;
  std::vector<ImageArray> arrays;
  forEachImageArray(world, species, [&](const std::string& name, auto value, bool stored) {
    using T = decltype(value(std::size_t{0}));
    const auto read = [value, stored](std::size_t q) { return stored ? value(q) : T{}; };
    const std::size_t plane = static_cast<std::size_t>(g.nj) * static_cast<std::size_t>(g.nk);
    arrays.push_back({name, vtkTypeName<T>(), vtkComponents<T>(), sizeof(T), offeredZPlanes<T>(g, read),
                      [read, plane](int32_t i, std::byte* out) {
                        const std::size_t first = static_cast<std::size_t>(i) * plane;
                        for (std::size_t q = 0; q < plane; ++q, out += sizeof(T)) {
                          const T v = read(first + q);
                          std::memcpy(out, &v, sizeof(T));
                        }
                      }});
  });
  return arrays;
}

}  // namespace plasmabox
