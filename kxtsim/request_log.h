// One line per served request when kxtsim runs with -v.
#pragma once

#include <functional>
#include <string>

namespace kxtsim {

using RequestLog = std::function<void(const std::string& line)>;

}  // namespace kxtsim
