// The input/output error of file operations: a file that cannot be opened,
// created, read, written or closed.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace gridport {

class EInOutError : public std::runtime_error {
 public:
  explicit EInOutError(const std::string& message) : std::runtime_error(message) {}

  // "<action> file "<path>". <reason>", e.g. action "Cannot create" and the
  // text of the system error number error_number (errno).
  static EInOutError ForFile(const char* action, const std::filesystem::path& path, int error_number);
};

}  // namespace gridport
