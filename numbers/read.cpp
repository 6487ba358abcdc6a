#include "read.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace numbers {

std::string readNumber(std::string_view text, double& value)
{
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    value = std::strtod(copy.c_str(), &end);
    const std::string quoted = "'" + copy + "'";
    if (copy.empty() || end == copy.c_str() || *end != '\0') return quoted + " is not a number";
    if (!std::isfinite(value) || errno == ERANGE) return quoted + " is not a finite number";
    return "";
}

}  // namespace numbers
