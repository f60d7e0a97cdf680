// SPDX-License-Identifier: MIT
#include "can/WriteRefusals.h"

#include <algorithm>
#include <numeric>

int64_t WriteRefusals::Total() const {
  return std::accumulate(m_byError.begin(), m_byError.end(), int64_t{0});
}

int WriteRefusals::MostCommon() const {
  return static_cast<int>(
      std::max_element(m_byError.begin(), m_byError.end()) - m_byError.begin());
}
