// SPDX-License-Identifier: MIT
#include "test/FrameLine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Printed(FrameType type, int id, int len,
                    const unsigned char* data) {
  testing::internal::CaptureStdout();
  PrintFrame(type, id, len, data);
  return testing::internal::GetCapturedStdout();
}

std::string Saved(FrameType type, int id, int len, const unsigned char* data) {
  char path[] = "/tmp/frame-line-XXXXXX";
  close(mkstemp(path));
  FrameFile file;
  EXPECT_TRUE(file.Open(path));
  SaveFrame(&file, type, id, len, data);
  file.Flush();
  std::ifstream saved(path);
  std::stringstream text;
  text << saved.rdbuf();
  unlink(path);
  return text.str();
}

// The frame line as the printf formats make it.
std::string FormattedReference(FrameType type, int id, int len,
                               const unsigned char* data) {
  char text[32];
  std::string line(KindLabel(type));
  snprintf(text, sizeof text, "%08X %d ", static_cast<unsigned>(id), len);
  line += text;
  for (int i = 0; i < len; ++i) {
    snprintf(text, sizeof text, "%02X ", data[i]);
    line += text;
  }
  return line + "\n";
}

}  // namespace

TEST(FrameLineTest, ShowsKindIdentifierLengthAndPayload) {
  const unsigned char data[64] = {0xAB, 0x01, 0x00, 0xFF};
  EXPECT_EQ(Printed(standData, 0x123, 2, data),
            "stand_data    00000123 2 AB 01 \n");
  EXPECT_EQ(Printed(standData, 0x5A, 0, data), "stand_data    0000005A 0 \n");
  EXPECT_EQ(Printed(standRemote, 0x7FF, 1, data),
            "stand_remote  000007FF 1 AB \n");
  EXPECT_EQ(Printed(expandData, 0x1FFFFFFF, 4, data),
            "expand_data   1FFFFFFF 4 AB 01 00 FF \n");
  EXPECT_EQ(Printed(expandRemote, 0, -3, data), "expand_remote 00000000 -3 \n");
  EXPECT_EQ(Printed(static_cast<FrameType>(4), 1, 0, data),
            "err_frame     00000001 0 \n");
  EXPECT_EQ(Printed(static_cast<FrameType>(-1), -1, 0, data),
            "err_frame     FFFFFFFF 0 \n");
}

TEST(FrameLineTest, FileLinesEqualScreenLines) {
  unsigned char data[64];
  for (int i = 0; i < 64; ++i) data[i] = static_cast<unsigned char>(i * 3);
  for (FrameType type : {standData, expandRemote, static_cast<FrameType>(9)}) {
    EXPECT_EQ(Saved(type, 0x1234, 64, data), Printed(type, 0x1234, 64, data));
  }
}

TEST(FrameLineTest, BuildsTheBytesOfThePrintfFormats) {
  unsigned char data[64];
  for (int i = 0; i < 64; ++i) data[i] = static_cast<unsigned char>(i * 37 + 11);
  data[0] = 0x00;
  data[63] = 0xFF;
  const int kinds[] = {0, 1, 2, 3, 4, -1};
  const int ids[] = {0, 0x7FF, 0x1FFFFFFF, -1};
  const int lengths[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,      12,
                         16, 20, 24, 32, 48, 64, -1, -64, INT_MIN};
  for (int kind : kinds) {
    for (int id : ids) {
      for (int len : lengths) {
        const auto type = static_cast<FrameType>(kind);
        char line[kFrameLineSize];
        const size_t size = BuildFrameLine(line, type, id, len, data);
        EXPECT_EQ(std::string(line, size),
                  FormattedReference(type, id, len, data))
            << kind << " " << id << " " << len;
      }
    }
  }
}
