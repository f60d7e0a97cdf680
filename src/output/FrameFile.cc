// SPDX-License-Identifier: MIT
#include "output/FrameFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

bool FrameFile::Open(const char* path) {
  m_fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return m_fd >= 0;
}

void FrameFile::Flush() {
  m_lines += m_held;
  size_t written = 0;
  while (m_error == 0 && written < m_used) {
    const ssize_t result = write(m_fd, m_buffer + written, m_used - written);
    if (result > 0) {
      written += static_cast<size_t>(result);
    } else if (result < 0 && errno != EINTR) {
      m_error = errno;
    } else if (result == 0) {
      m_error = EIO;  // a device that takes nothing and says nothing
    }
  }
  if (written < m_used) {
    // Every line ends in the one newline it holds: those before the point
    // the writing stopped at went out whole.
    const int64_t whole = std::count(m_buffer, m_buffer + written, '\n');
    m_lost += m_held - whole;
  }
  m_used = 0;
  m_held = 0;
}
