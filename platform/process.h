// Starting another program without a shell: the arguments reach it exactly
// as given, so no character in them is special.
#pragma once

#include <string>
#include <vector>

#include "platform/result.h"

namespace platform {

// Starts argv[0] with the arguments argv[1..]. With `wait`, blocks until it
// has ended (its exit status is not looked at). Fails when it could not be
// started, or `argv` names no program.
Result<> StartProcess(const std::vector<std::string>& argv, bool wait);

// This machine's name ("localhost" when it has none), for the records of a run.
std::string HostName();

}  // namespace platform
