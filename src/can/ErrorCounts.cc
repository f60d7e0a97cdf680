// SPDX-License-Identifier: MIT
#include "can/ErrorCounts.h"

#include <linux/can/error.h>

namespace {

ErrorPhase PhaseOf(uint8_t location) {
  switch (location) {
    case CAN_ERR_PROT_LOC_SOF:
    case CAN_ERR_PROT_LOC_ID28_21:
    case CAN_ERR_PROT_LOC_ID20_18:
    case CAN_ERR_PROT_LOC_SRTR:
    case CAN_ERR_PROT_LOC_IDE:
    case CAN_ERR_PROT_LOC_ID17_13:
    case CAN_ERR_PROT_LOC_ID12_05:
    case CAN_ERR_PROT_LOC_ID04_00:
    case CAN_ERR_PROT_LOC_RTR: return kArbitration;
    // With the bit-rate switch these go at the data bit rate, where the
    // transmitter's own delay matters most.
    case CAN_ERR_PROT_LOC_RES1:
    case CAN_ERR_PROT_LOC_RES0:
    case CAN_ERR_PROT_LOC_DLC:
    case CAN_ERR_PROT_LOC_DATA:
    case CAN_ERR_PROT_LOC_CRC_SEQ:
    case CAN_ERR_PROT_LOC_CRC_DEL: return kDataPhase;
    default: return kElsewhere;
  }
}

// A protocol violation: data[2] says its kind, data[3] where it came.
void CountProtocol(const can_frame& frame, ErrorCounts* counts) {
  const uint8_t type = frame.data[2];
  const uint8_t location = frame.data[3];
  // Drivers tell a missing acknowledgement by its place alone, or with
  // CAN_ERR_ACK, counted by the caller.
  if (location == CAN_ERR_PROT_LOC_ACK) {
    if ((frame.can_id & CAN_ERR_ACK) == 0) ++counts->noAck;
    return;
  }
  const ErrorPhase phase = PhaseOf(location);
  if ((type & CAN_ERR_PROT_BIT0) != 0) ++counts->bit0[phase];
  if ((type & CAN_ERR_PROT_BIT1) != 0) ++counts->bit1[phase];
  if ((type & CAN_ERR_PROT_BIT) != 0) ++counts->bit[phase];
  // A CRC error has no kind of its own: drivers give its place alone.
  const uint8_t kinds = CAN_ERR_PROT_BIT | CAN_ERR_PROT_BIT0 |
                        CAN_ERR_PROT_BIT1 | CAN_ERR_PROT_STUFF |
                        CAN_ERR_PROT_FORM;
  const bool crcPlace = location == CAN_ERR_PROT_LOC_CRC_SEQ ||
                        location == CAN_ERR_PROT_LOC_CRC_DEL;
  const uint64_t stuff = (type & CAN_ERR_PROT_STUFF) != 0;
  const uint64_t form = (type & CAN_ERR_PROT_FORM) != 0;
  const uint64_t crc = (type & kinds) == 0 && crcPlace;
  counts->stuff += stuff;
  counts->form += form;
  counts->crc += crc;
  if ((type & CAN_ERR_PROT_TX) == 0) counts->onReceive += stuff + form + crc;
}

void CountController(uint8_t status, ErrorCounts* counts) {
  if ((status & CAN_ERR_CRTL_RX_OVERFLOW) != 0) ++counts->rxOverflow;
  if ((status & CAN_ERR_CRTL_TX_OVERFLOW) != 0) ++counts->txOverflow;
  if ((status & (CAN_ERR_CRTL_RX_WARNING | CAN_ERR_CRTL_TX_WARNING)) != 0) {
    ++counts->warning;
  }
  if ((status & (CAN_ERR_CRTL_RX_PASSIVE | CAN_ERR_CRTL_TX_PASSIVE)) != 0) {
    ++counts->passive;
  }
}

}  // namespace

void CountErrorFrame(const can_frame& frame, ErrorCounts* counts) {
  const canid_t classes = frame.can_id & CAN_ERR_MASK;
  ++counts->frames;
  if ((classes & CAN_ERR_ACK) != 0) ++counts->noAck;
  if ((classes & CAN_ERR_PROT) != 0) CountProtocol(frame, counts);
  if ((classes & CAN_ERR_CRTL) != 0) CountController(frame.data[1], counts);
  if ((classes & CAN_ERR_BUSOFF) != 0) ++counts->busOff;
  if ((classes & CAN_ERR_RESTARTED) != 0) ++counts->restarts;
  if ((classes & CAN_ERR_TRX) != 0) ++counts->transceiver;
}
