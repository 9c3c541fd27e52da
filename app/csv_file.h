// The file a CSV export writes into.
//
// Windows-1251: the target itself is created (truncated) when the file is
// opened and grows as the buffer is written; after a failure it keeps what was
// written. UTF-8: the bytes go to a hidden temporary file beside the target,
// which replaces the target in one rename at Commit; after a failure the
// temporary file is removed and the target is untouched.
#pragma once

#include <string>

#include "text/in_out_error.h"

namespace gridport {

class TCsvFile {
 public:
  // Raises EInOutError (text/in_out_error.h) when the file cannot be created.
  TCsvFile(const std::string& path, bool whole_at_end);
  ~TCsvFile();  // not committed: closes; a temporary file is removed
  TCsvFile(const TCsvFile&) = delete;
  TCsvFile& operator=(const TCsvFile&) = delete;

  void Write(const char* data, size_t size);  // raises EInOutError
  void Commit();                              // closes; the temporary file becomes the target

 private:
  std::string path_;
  std::string temp_path_;  // empty when writing the target directly
  int fd_ = -1;
};

}  // namespace gridport
