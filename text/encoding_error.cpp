#include "text/encoding_error.h"

#include <string_view>

namespace gridport {

EEncodingError EEncodingError::WithValue(const char* message_format, long long value) {
  std::string message(message_format);
  std::size_t at = message.find("%d");
  if (at != std::string::npos) message.replace(at, 2, std::to_string(value));
  return EEncodingError(message);
}

}  // namespace gridport
