#include "driver/historyColumns.h"

#include "driver/conductorSteps.h"
#include "driver/emissionSteps.h"

namespace plasmabox {

std::vector<std::string> historyExtraColumns(const Run& run) {
  std::vector<std::string> columns = conductorColumns(run.conductors);
  for (std::string& c : emissionColumns(run)) columns.push_back(std::move(c));
  return columns;
}

std::vector<double> historyExtraValues(const Run& run) {
  std::vector<double> values = conductorValues(run.conductors);
  for (double v : emissionValues(run)) values.push_back(v);
  return values;
}

}  // namespace plasmabox
