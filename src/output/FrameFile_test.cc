// SPDX-License-Identifier: MIT
#include "output/FrameFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "test/Signals.h"

namespace {

// `lines` lines of 10 bytes into `path`, with the file size limited to
// `limit` bytes; the file as it ends.
FrameFile* Written(FrameFile* file, const char* path, int64_t lines) {
  EXPECT_TRUE(file->Open(path));
  for (int64_t i = 0; i < lines; ++i) file->Add("123456789\n", 10);
  file->Flush();
  return file;
}

}  // namespace

// Every line is counted, and those that did not reach the file whole are
// lost: none on a file that takes them, all on /dev/full, and past a size
// limit all but the lines below it.
TEST(FrameFileTest, CountsTheLinesThatNeverReachedTheFile) {
  char path[] = "/tmp/frame-file-XXXXXX";
  close(mkstemp(path));
  FrameFile whole;
  Written(&whole, path, 1000);
  EXPECT_EQ(whole.Lines(), 1000);
  EXPECT_EQ(whole.Lost(), 0);
  EXPECT_EQ(truncate(path, 0), 0);

  FrameFile full;
  Written(&full, "/dev/full", 1000);
  EXPECT_EQ(full.Lost(), 1000);
  EXPECT_EQ(full.Error(), ENOSPC);

  // 1005 bytes may be written: 100 lines whole, the 101st in part.
  rlimit before;
  getrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit = before;
  limit.rlim_cur = 1005;
  setrlimit(RLIMIT_FSIZE, &limit);
  FrameFile limited;
  Written(&limited, path, 1000);
  setrlimit(RLIMIT_FSIZE, &before);
  EXPECT_EQ(limited.Lost(), 900);
  EXPECT_EQ(limited.Error(), EFBIG);
  unlink(path);

  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  IgnoreBrokenPipes();
  FrameFile broken;
  Written(&broken, ("/proc/self/fd/" + std::to_string(ends[1])).c_str(), 3);
  EXPECT_EQ(broken.Lost(), 3);
  EXPECT_EQ(broken.Error(), EPIPE);
  close(ends[1]);
}
