// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// A file of lines written as a run goes on, that knows how many of them
// reached it: a full disk, a pipe nobody reads or a failing device ends the
// writing at the first error, and every line not wholly written from then
// on counts as lost. Lines gather in a buffer of the size stdio would take
// and go out in one write each time it is full.
class FrameFile {
 public:
  static constexpr size_t kBufferSize = 4096;

  FrameFile() = default;
  FrameFile(const FrameFile&) = delete;
  FrameFile& operator=(const FrameFile&) = delete;

  // Opens `path` as fopen(path, "w") does: created (0666 less the umask) or
  // emptied. False, with errno, when it cannot.
  bool Open(const char* path);
  bool IsOpen() const { return m_fd >= 0; }

  // Takes one line, its newline included; at most kBufferSize bytes.
  void Add(const char* line, size_t size) {
    if (size > kBufferSize - m_used) Flush();
    std::memcpy(m_buffer + m_used, line, size);
    m_used += size;
    ++m_held;
  }

  // Writes what the buffer holds.
  void Flush();

  int64_t Lines() const { return m_lines; }  // taken so far
  int64_t Lost() const { return m_lost; }    // of them, never written whole
  int Error() const { return m_error; }      // errno of the first failure

 private:
  int m_fd = -1;
  char m_buffer[kBufferSize];
  size_t m_used = 0;
  int64_t m_held = 0;  // lines in the buffer
  int64_t m_lines = 0;
  int64_t m_lost = 0;
  int m_error = 0;
};
