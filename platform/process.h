// Starting another program without a shell: the arguments reach it exactly
// as given, so no character in them is special.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Starts argv[0] with the arguments argv[1..]. With `wait`, blocks until it
// has ended. False when it could not be started (or `argv` is empty).
bool StartProcess(const std::vector<std::string>& argv, bool wait);

}  // namespace platform
