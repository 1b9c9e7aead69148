// plasmabox-amf: turns CAD meshes (STL, plain or zipped AMF) into the named,
// metre-scaled AMF file that plasmabox reads. See --help.

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "tools/amf/convertMeshes.h"
#include "tools/amf/converterOptions.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const plasmabox::ConverterOptions options = plasmabox::parseConverterArguments(args);
    if (options.help) {
      std::cout << plasmabox::converterUsage();
      return 0;
    }
    plasmabox::runConversion(options, std::cout);
    return 0;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "plasmabox-amf: error: " << e.what() << std::endl;
    return 1;
  }
}
