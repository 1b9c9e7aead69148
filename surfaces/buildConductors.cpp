#include "surfaces/buildConductors.h"

#include <cmath>
#include <stdexcept>

#include "geometry/objectNamed.h"
#include "geometry/objectPasses.h"

namespace plasmabox {

double surfaceArea(const AmfObject& object) {
  double area = 0.0;
  for (const Triangle& t : object.triangles) {
    const Vec3 n = cross(t.b - t.a, t.c - t.a);
    area += 0.5 * std::sqrt(dot(n, n));
  }
  return area;
}

ConductorSystem buildConductors(const Grid& grid, std::span<const AmfObject> objects,
                                const std::vector<std::string>& floating, const std::map<std::string, Bias>& biases,
                                const std::map<std::string, VoltageRamp>& ramps, int threads) {
  ConductorSystem sys;
  std::vector<bool> selected(objects.size(), false);
  const auto add = [&](const std::string& name, const std::string& option, Conductor c) {
    c.name = name;
    c.object = static_cast<int32_t>(objectNamed(objects, name, option));
    if (selected[static_cast<std::size_t>(c.object)])
      throw std::invalid_argument("option " + option + ": object \"" + name + "\" is named twice");
    selected[static_cast<std::size_t>(c.object)] = true;
    c.area = surfaceArea(objects[static_cast<std::size_t>(c.object)]);
    sys.conductors.push_back(c);
  };
  for (const std::string& name : floating) {
    Conductor c;
    c.mode = ConductorMode::FLOATING;
    c.group = sys.groups++;
    add(name, "floating", c);
  }
  for (const auto& [name, bias] : biases) {
    Conductor c;
    c.mode = ConductorMode::BIASED;
    c.bias = bias.volts;
    for (std::size_t r = 0; r < sys.conductors.size(); ++r)
      if (sys.conductors[r].mode == ConductorMode::FLOATING && sys.conductors[r].name == bias.reference) {
        c.reference = static_cast<int32_t>(r);
        c.group = sys.conductors[r].group;
      }
    if (c.reference < 0)
      throw std::invalid_argument("option bias." + name + ": \"" + bias.reference +
                                  "\" is not a floating object (add it to floating=)");
    add(name, "bias." + name, c);
  }
  for (const auto& [name, ramp] : ramps) {
    Conductor c;
    c.mode = ConductorMode::RAMPED;
    c.ramp = ramp;
    add(name, "voltage." + name, c);
  }
  sys.group_charge.assign(static_cast<std::size_t>(sys.groups), 0.0);
  sys.group_change.assign(static_cast<std::size_t>(sys.groups), 0.0);
  sys.group_potential.assign(static_cast<std::size_t>(sys.groups), 0.0);
  if (sys.conductors.empty()) return sys;

  // Nodes to conductors, through the objects they stand for.
  std::vector<int32_t> conductor_of_object(objects.size(), -1);
  for (std::size_t c = 0; c < sys.conductors.size(); ++c)
    conductor_of_object[static_cast<std::size_t>(sys.conductors[c].object)] = static_cast<int32_t>(c);
  sys.conductor_of_node = objectNodeIndex(grid, objects, selected, threads);
  sys.group_of_node = IntField(grid.ni, grid.nj, grid.nk);
  for (std::size_t n = 0; n < sys.conductor_of_node.data.size(); ++n) {
    int32_t& node = sys.conductor_of_node.data[n];
    if (node >= 0) node = conductor_of_object[static_cast<std::size_t>(node)];
    sys.group_of_node.data[n] = node >= 0 ? sys.conductors[static_cast<std::size_t>(node)].group : -1;
  }
  return sys;
}

}  // namespace plasmabox
