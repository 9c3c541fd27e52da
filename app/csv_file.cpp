#include "app/csv_file.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/paths.h"

namespace gridport {

namespace {

[[noreturn]] void Fail(const char* action, const std::string& path, int error) {
  throw EInOutError::ForFile(action, path, error);
}

// Hidden, uniquely named file beside the target, created exclusively.
int CreateTemporary(const std::string& path, std::string& temp_path) {
  const size_t start = LastComponentStart(path);
  const std::string folder = path.substr(0, start);
  const std::string name = path.substr(start);
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    temp_path = folder + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
    const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) Fail("Cannot create", path, errno);
  }
  Fail("Cannot create", path, EEXIST);
}

}  // namespace

TCsvFile::TCsvFile(const std::string& path, bool whole_at_end) : path_(path) {
  if (whole_at_end) {
    fd_ = CreateTemporary(path, temp_path_);
  } else {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) Fail("Cannot create", path, errno);
  }
}

TCsvFile::~TCsvFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
}

void TCsvFile::Write(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write", path_, errno);
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
}

void TCsvFile::Commit() {
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail("Cannot close", path_, errno);
  if (!temp_path_.empty()) {
    if (::rename(temp_path_.c_str(), path_.c_str()) != 0) Fail("Cannot create", path_, errno);
    temp_path_.clear();
  }
}

}  // namespace gridport
