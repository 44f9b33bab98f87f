// mondrake: the uncertainty engine.  It takes no arguments; everything it
// needs comes from the control file and the input files in the current
// directory.
#include <memory>

#include "engine/run/run_sequence.h"

int main() {
  auto ctx = std::make_unique<mondrake::RunContext>();
  return mondrake::run_engine(*ctx);
}
