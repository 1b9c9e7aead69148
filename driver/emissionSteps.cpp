#include "driver/emissionSteps.h"

#include <stdexcept>

#include "geometry/objectNamed.h"
#include "geometry/outwardNormals.h"
#include "mesh/processReduction.h"
#include "particles/random.h"

namespace plasmabox {

std::vector<std::string> speciesNames(const RunSettings& settings) {
  std::vector<std::string> names(std::begin(SPECIES_NAMES), std::end(SPECIES_NAMES));
  if (hasEmission(settings)) names.emplace_back(EMITTED_NAME);
  return names;
}

void setUpEmission(Run& run) {
  const RunSettings& s = run.settings;
  if (!hasEmission(s)) return;
  const std::size_t n = run.objects.size();
  run.scene = buildSceneTriangles(run.objects);
  run.emitted_photo.assign(n, 0.0);
  run.emitted_secondary.assign(n, 0.0);
  if (s.sun) {
    run.photo.temperature = s.photo_temperature;
    run.photo.current.assign(n, s.photo_current);
    for (const auto& [name, j] : s.photo_currents) run.photo.current[objectNamed(run.objects, name, "photo_current." + name)] = j;
    run.photo.light = findSunlitTriangles(run.objects, run.scene, *s.sun);
  }
  run.secondary.yield.assign(n, std::nullopt);
  run.secondary.normals.resize(n);
  run.secondary.temperature = s.secondary_temperature;
  run.secondary.offset = surfaceOffset(run.scene);
  for (const auto& [name, y] : s.secondary_yields) {
    const std::size_t o = objectNamed(run.objects, name, "secondary_yield." + name);
    run.secondary.yield[o] = y;
    run.secondary.normals[o] = outwardNormals(run.objects[o]);
  }
}

void emitElectrons(Run& run) {
  if (!hasEmission(run.settings)) return;
  std::fill(run.emitted_photo.begin(), run.emitted_photo.end(), 0.0);
  std::fill(run.emitted_secondary.begin(), run.emitted_secondary.end(), 0.0);
  Species& emitted = run.species.back();
  // Electrons of every particle species set secondaries free (the Boltzmann fluid's do not: it has no impacts).
  for (std::size_t q = 0; q < run.species.size(); ++q) {
    const Species& sp = run.species[q];
    if (sp.charge < 0.0) emitSecondaries(emitted, run.impacts[q], sp.mass, run.secondary, run.veto, run.emitted_secondary);
  }
  if (run.settings.sun)
    emitPhotoelectrons(emitted, run.photo, run.scene, run.objects, run.veto, randomSeed(), run.world->ts,
                       run.emitted_photo);
  for (std::size_t o = 0; o < run.collected.size(); ++o)
    run.collected[o] -= run.emitted_photo[o] + run.emitted_secondary[o];
}

std::vector<std::string> emissionColumns(const Run& run) {
  std::vector<std::string> columns;
  if (!hasEmission(run.settings)) return columns;
  for (const AmfObject& o : run.objects) {
    columns.push_back("photo_" + o.name + "_A");
    columns.push_back("secondary_" + o.name + "_A");
  }
  return columns;
}

std::vector<double> emissionValues(const Run& run) {
  std::vector<double> values;
  if (!hasEmission(run.settings)) return values;
  const double dt = run.world->dt;
  for (std::size_t o = 0; o < run.objects.size(); ++o) {
    values.push_back(run.emitted_photo[o] / dt);
    values.push_back(run.emitted_secondary[o] / dt);
  }
  if (run.world->part.distributed()) sumOverProcesses(run.world->part, values);
  return values;
}

}  // namespace plasmabox
