// Exceptions raised by the workbook library.
#pragma once

#include <stdexcept>
#include <string>

namespace gridport {

// The library's general exception: every reader failure carries one of the
// system's English message texts.
class EXLSError : public std::runtime_error {
 public:
  explicit EXLSError(const std::string& message) : std::runtime_error(message) {}
};

// "List index out of bounds (%d)": an index outside a list of the model.
class EListError : public std::runtime_error {
 public:
  explicit EListError(long long index);
};

}  // namespace gridport
