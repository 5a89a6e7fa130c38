#include "tests/support/StandinArguments.h"

namespace standin {

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace standin
