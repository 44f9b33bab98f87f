#include "stop.h"

namespace mondrake {

void fatal_stop() { throw FatalStop{}; }

void run_failure(std::string report, bool at_read_position) {
  throw RunFailure{std::move(report), at_read_position};
}

}  // namespace mondrake
