// SPDX-License-Identifier: MIT
#include "report/LostLine.h"

#include <gtest/gtest.h>

#include "testsupport/LinkReplyTesting.h"

TEST(LostLineTest, CountsTheFramesTheControllerLost) {
  LinkFacts lossy = ControllerFacts();
  lossy.rxOver = 3;
  lossy.rxFifo = 1;
  EXPECT_EQ(LostLine("can0", ControllerFacts(), lossy),
            "lost frames:4, which the controller of can0 lost: the driver did "
            "not empty it in time (interrupt load, CPU frequency, a slow bus "
            "driver such as SPI)\n");
  EXPECT_EQ(LostLine("can0", lossy, lossy), "");
  EXPECT_EQ(LostLine("can0", LinkFacts(), lossy), "");
}
