// The number of threads of this process, to check that no worker outlives its part.
#pragma once

#include <cstddef>
#include <filesystem>
#include <iterator>

namespace gridport::test {

inline std::size_t ThreadCount() {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                                std::filesystem::directory_iterator()));
}

}  // namespace gridport::test
