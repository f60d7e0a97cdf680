// SPDX-License-Identifier: MIT
#include "time/CTimeStamp.h"

#include <gtest/gtest.h>

#include "testsupport/FakeClock.h"

TEST(CTimeStampTest, RunsFromItsCreationAndOnlyInitRestartsIt) {
  SetFakeClock(1000);
  CTimeStamp* first = CTimeStamp::GetInstance();
  first->Init();
  SetFakeClock(1250);
  CTimeStamp* second = CTimeStamp::GetInstance();
  EXPECT_EQ(first, second);
  EXPECT_EQ(second->GetStamp(), 250);
  EXPECT_EQ(second->GetStamp(), 250);
  EXPECT_TRUE(second->Init());
  EXPECT_EQ(second->GetStamp(), 0);
}
