// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Test support: the frames of `lists` interleaved at random, each list's in
// its order; `random(n)` draws a number below n.
template <class Frame, class Random>
std::vector<Frame> Interleaved(const std::vector<std::vector<Frame>>& lists,
                               Random random) {
  size_t left = 0;
  for (const auto& list : lists) left += list.size();
  std::vector<Frame> frames;
  std::vector<size_t> next(lists.size());
  for (; left > 0; --left) {
    size_t pick = random(static_cast<uint32_t>(left)), list = 0;
    for (; pick >= lists[list].size() - next[list]; ++list) {
      pick -= lists[list].size() - next[list];
    }
    frames.push_back(lists[list][next[list]++]);
  }
  return frames;
}
