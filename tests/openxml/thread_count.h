// The number of threads of this process, to check that no worker outlives its part.
#pragma once

#include <cstddef>
#include <filesystem>
#include <iterator>
#include <thread>

namespace gridport::test {

inline std::size_t ThreadCount() {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                                std::filesystem::directory_iterator()));
}

// The count to compare with once a test's workers should be gone. A thread is started and
// joined first, so that helper threads a runtime adds with the first thread (ThreadSanitizer
// does) are already counted.
inline std::size_t ThreadCountBefore() {
  std::thread([] {}).join();
  return ThreadCount();
}

}  // namespace gridport::test
