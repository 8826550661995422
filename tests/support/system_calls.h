// A watch on fsync, rename and link (wrapped in every test program): a test
// sees in which order a writer makes them and can let fsync fail, as a disk
// that reports a write error only at the flush does.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct SystemCall {
  std::string name;    // "fsync", "rename" or "link"
  std::string path;    // fsync: what the descriptor names; otherwise the source
  std::string target;  // rename and link: the new name
};

// While a watch exists, the calls are recorded, and fsync fails with
// `fsyncError` when it is not 0. One watch at a time.
class SystemCallWatch {
 public:
  explicit SystemCallWatch(int fsyncError = 0);
  ~SystemCallWatch();
  SystemCallWatch(const SystemCallWatch&) = delete;
  SystemCallWatch& operator=(const SystemCallWatch&) = delete;

  std::vector<SystemCall> Calls() const;
};

}  // namespace testing_support
