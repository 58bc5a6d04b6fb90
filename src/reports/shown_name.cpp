#include "torvik32c/reports.h"

namespace torvik {

std::string QuotedName(const std::string& name, const NameDecoder& names) {
  std::string quoted(1, '"');
  quoted += ShownName(name, names);
  quoted += '"';
  return quoted;
}

}  // namespace torvik
