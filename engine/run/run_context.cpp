#include "engine/run/run_context.h"

#include <algorithm>

namespace mondrake {

void Name::assign(std::string_view s) {
  clear();
  std::copy_n(s.data(), std::min<std::size_t>(s.size(), kNameLength), c);
}

}  // namespace mondrake
