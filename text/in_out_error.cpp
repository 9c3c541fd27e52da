#include "text/in_out_error.h"

#include <system_error>

namespace gridport {

EInOutError EInOutError::ForFile(const char* action, const std::filesystem::path& path,
                                 int error_number) {
  std::string message = std::string(action) + " file \"" + path.string() + "\".";
  if (error_number != 0) message += " " + std::system_category().message(error_number);
  return EInOutError(message);
}

}  // namespace gridport
