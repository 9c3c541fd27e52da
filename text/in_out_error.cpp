#include "text/in_out_error.h"

#include <system_error>

namespace gridport {

EInOutError EInOutError::ForFile(const char* action, const std::filesystem::path& path,
                                 int error_number) {
  // Built by appends: GCC 12 warns falsely (-Wrestrict) on a chain of "+".
  std::string message(action);
  message.append(" file \"").append(path.string()).append("\".");
  if (error_number != 0) message.append(" ").append(std::system_category().message(error_number));
  return EInOutError(message);
}

}  // namespace gridport
