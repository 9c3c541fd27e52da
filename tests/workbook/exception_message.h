// The message of the exception a call raises, for tests that check error texts.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace gridport::test {

inline std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no exception)";
}

}  // namespace gridport::test
