// The exception of the encoding classes.
#pragma once

#include <stdexcept>
#include <string>

namespace gridport {

// Raised by every failed check of the encodings: a range violation of an
// encode or decode call, or a code page the system does not know.
class EEncodingError : public std::runtime_error {
 public:
  explicit EEncodingError(const std::string& message) : std::runtime_error(message) {}

  // message_format holds one "%d", replaced by value in decimal.
  static EEncodingError WithValue(const char* message_format, long long value);
};

}  // namespace gridport
