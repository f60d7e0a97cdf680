// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testsupport/FakeSystemCalls.h"

// Test support: shared pieces of the channel tests.

inline const std::vector<std::string> kOptionSteps = {
    "SO_SNDTIMEO", "SO_RCVTIMEO", "CAN_RAW_FILTER", "CAN_RAW_LOOPBACK",
    "CAN_RAW_RECV_OWN_MSGS"};

// Opens `channel` over the fake as the test set it up; returns what it
// printed.
template <class Channel>
std::string OpenOutput(Channel* channel, bool* opened) {
  testing::internal::CaptureStdout();
  *opened = channel->Open();
  return testing::internal::GetCapturedStdout();
}

template <class Image>
FakeSystem::Bytes ImageBytes(canid_t id, int length,
                             const std::vector<unsigned char>& data) {
  Image image{};
  image.can_id = id;
  image.len = static_cast<__u8>(length);
  std::copy(data.begin(), data.end(), image.data);
  return BytesOf(image);
}
