// SPDX-License-Identifier: MIT
#include "time/CTimeStamp.h"

#include <gtest/gtest.h>

#include "testsupport/FakeWallClock.h"

TEST(CTimeStampTest, RunsFromItsCreationAndOnlyInitRestartsIt) {
  SetFakeWallClock(1000);
  CTimeStamp* first = CTimeStamp::GetInstance();
  first->Init();
  SetFakeWallClock(1250);
  CTimeStamp* second = CTimeStamp::GetInstance();
  EXPECT_EQ(first, second);
  EXPECT_EQ(second->GetStamp(), 250);
  EXPECT_EQ(second->GetStamp(), 250);
  EXPECT_TRUE(second->Init());
  EXPECT_EQ(second->GetStamp(), 0);
}

TEST(CTimeStampTest, ShowsAClockSetBackAsANegativeTime) {
  SetFakeWallClock(5000000);
  CTimeStamp::GetInstance()->Init();
  SetFakeWallClock(4000010);
  EXPECT_EQ(CTimeStamp::GetInstance()->GetStamp(), -999990);
}
