// SPDX-License-Identifier: MIT
#include "output/SummaryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

bool WriteAll(int fd, const std::string& text) {
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t result =
        write(fd, text.data() + written, text.size() - written);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) {
      if (result == 0) errno = EIO;
      return false;
    }
    written += static_cast<size_t>(result);
  }
  return true;
}

// Straight into what is there: a fifo with no reader fails at once
// (ENXIO) rather than waiting for one.
bool WriteStraight(const char* path, const std::string& text) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK |
                                O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  const bool whole = WriteAll(fd, text);
  const int error = errno;
  close(fd);
  errno = error;
  return whole;
}

bool WriteAndRename(const std::string& target, const std::string& text) {
  const std::string temporary =
      target + "." + std::to_string(getpid()) + ".tmp";
  const int fd = open(temporary.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    // A directory this user may not write in, beside a file it may.
    if (errno == EACCES || errno == EPERM) {
      return WriteStraight(target.c_str(), text);
    }
    return false;
  }
  bool whole = WriteAll(fd, text) && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && whole) {
    whole = false;
    error = errno;
  }
  if (whole && rename(temporary.c_str(), target.c_str()) == 0) return true;
  if (whole) error = errno;
  unlink(temporary.c_str());
  errno = error;
  return false;
}

}  // namespace

bool WriteWhole(const char* path, const std::string& text) {
  if (std::string(path) == "-") {
    fflush(stdout);
    fflush(stderr);
    return WriteAll(STDERR_FILENO, text);
  }
  std::string target = path;
  struct stat status;
  if (lstat(path, &status) == 0 && S_ISLNK(status.st_mode)) {
    char* real = realpath(path, nullptr);
    if (real == nullptr) return WriteStraight(path, text);  // dangling
    target = real;
    free(real);
  }
  if (stat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    return WriteStraight(target.c_str(), text);
  }
  return WriteAndRename(target, text);
}
