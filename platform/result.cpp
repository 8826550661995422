#include "platform/result.h"

#include <cstring>

namespace platform {

Result<> Result<>::SystemFailure(const std::string& what, int errorNumber) {
  return Result(ResultKind::SystemFailure, what + ": " + std::strerror(errorNumber), errorNumber);
}

}  // namespace platform
