// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Writes a socket refused, counted by the reason the system gave, so that a
// send run can say why its total fell short.
class WriteRefusals {
 public:
  // `error` is the errno of a failed write; 0 stands for a write that
  // returned a byte count other than the frame's size (and for an errno
  // beyond the table, which Linux does not have).
  void Count(int error) {
    const bool known = error > 0 && error < static_cast<int>(m_byError.size());
    ++m_byError[known ? static_cast<size_t>(error) : 0];
  }

  int64_t Total() const;
  // The reason counted most often: an errno, or 0 for short writes.
  int MostCommon() const;

 private:
  std::array<int64_t, 256> m_byError{};
};
