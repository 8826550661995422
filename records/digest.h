// The SHA-256 of what a record names (a script, a result file), so a
// record tells which version of a file a run used or wrote.
#pragma once

#include <string>
#include <string_view>

namespace records {

// Lower-case hexadecimal, 64 digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace records
