// SPDX-License-Identifier: MIT
#include "report/ErrorFrameText.h"

#include <gtest/gtest.h>
#include <linux/can/error.h>

#include <string>
#include <vector>

namespace {

// An error frame as a driver sends it: its classes in the identifier, the
// controller status, the protocol error's kind and place in data[1..3].
can_frame ErrorFrame(canid_t classes, uint8_t status, uint8_t kind = 0,
                     uint8_t place = 0) {
  can_frame frame{};
  frame.can_id = CAN_ERR_FLAG | classes;
  frame.data[1] = status;
  frame.data[2] = kind;
  frame.data[3] = place;
  return frame;
}

can_frame Protocol(uint8_t kind, uint8_t place) {
  return ErrorFrame(CAN_ERR_PROT | CAN_ERR_BUSERROR, 0, kind, place);
}

ErrorCounts Counted(const std::vector<can_frame>& frames) {
  ErrorCounts counts;
  for (const can_frame& frame : frames) CountErrorFrame(frame, &counts);
  return counts;
}

constexpr uint8_t kTx = CAN_ERR_PROT_TX;

}  // namespace

TEST(ErrorFrameTextTest, CountsEachClassTheFramesTell) {
  const std::vector<can_frame> each = {
      ErrorFrame(CAN_ERR_ACK, 0),
      Protocol(kTx, CAN_ERR_PROT_LOC_ACK),
      Protocol(CAN_ERR_PROT_BIT0 | kTx, CAN_ERR_PROT_LOC_ID12_05),
      Protocol(CAN_ERR_PROT_BIT0 | kTx, CAN_ERR_PROT_LOC_DATA),
      Protocol(CAN_ERR_PROT_BIT1 | kTx, CAN_ERR_PROT_LOC_CRC_SEQ),
      Protocol(CAN_ERR_PROT_BIT, CAN_ERR_PROT_LOC_EOF),
      Protocol(CAN_ERR_PROT_STUFF, CAN_ERR_PROT_LOC_DATA),
      Protocol(CAN_ERR_PROT_FORM, CAN_ERR_PROT_LOC_CRC_DEL),
      Protocol(0, CAN_ERR_PROT_LOC_CRC_SEQ),
      ErrorFrame(CAN_ERR_CRTL, CAN_ERR_CRTL_RX_OVERFLOW),
      ErrorFrame(CAN_ERR_CRTL, CAN_ERR_CRTL_TX_OVERFLOW),
      ErrorFrame(CAN_ERR_CRTL, CAN_ERR_CRTL_TX_WARNING),
      ErrorFrame(CAN_ERR_CRTL, CAN_ERR_CRTL_RX_PASSIVE),
      ErrorFrame(CAN_ERR_BUSOFF, 0),
      ErrorFrame(CAN_ERR_RESTARTED, 0),
      ErrorFrame(CAN_ERR_TRX, 0),
      ErrorFrame(CAN_ERR_LOSTARB, 0)};
  EXPECT_EQ(ErrorFrameText(Counted(each)),
            "error frames: 2 no acknowledgement, 1 bit-0 errors in "
            "arbitration, 1 bit-0 errors in the data phase, 1 bit-1 errors in "
            "the data phase, 1 bit errors, 1 stuff errors, 1 form errors, 1 "
            "CRC errors, 1 receive overflows, 1 transmit overflows, 1 "
            "error-warning, 1 error-passive, 1 bus-off, 1 restarts, 1 "
            "transceiver errors");
  ErrorCounts dropped = Counted({ErrorFrame(CAN_ERR_BUSOFF, 0)});
  dropped.dropped = 3;
  EXPECT_EQ(ErrorFrameText(dropped), "error frames, at least: 1 bus-off");
  EXPECT_EQ(ErrorFrameText(Counted({ErrorFrame(CAN_ERR_LOSTARB, 0)})), "");
}

// The cause of the most errors of the three kinds that point to a fix;
// stuff, form and CRC errors point to the sample point only on receive.
TEST(ErrorFrameTextTest, NamesTheLikelyCause) {
  const can_frame ack = ErrorFrame(CAN_ERR_ACK, 0);
  const can_frame bit =
      Protocol(CAN_ERR_PROT_BIT1 | kTx, CAN_ERR_PROT_LOC_DATA);
  const can_frame rx = Protocol(CAN_ERR_PROT_STUFF, CAN_ERR_PROT_LOC_DATA);
  const can_frame tx =
      Protocol(CAN_ERR_PROT_STUFF | kTx, CAN_ERR_PROT_LOC_DATA);
  const struct {
    std::vector<can_frame> frames;
    std::string cause;  // how it begins; empty: none
  } rows[] = {
      {{ack, ack, bit}, "no acknowledgement"},
      {{ack, bit, bit}, "bit errors in the data phase"},
      {{rx, ack}, "no acknowledgement"},
      {{rx, rx, ack}, "stuff, form and CRC errors on receive"},
      {{tx, tx}, ""},
  };
  for (const auto& row : rows) {
    const char* cause = LikelyCause(Counted(row.frames));
    EXPECT_EQ(
        std::string(cause == nullptr ? "" : cause).substr(0, row.cause.size()),
        row.cause);
    EXPECT_EQ(cause == nullptr, row.cause.empty());
  }
}
