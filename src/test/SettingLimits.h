// SPDX-License-Identifier: MIT
#pragma once

// The values a send run accepts, the same for options and prompt replies.

bool IsFrameType(int type);

// 0 to 8 bytes, and the CAN FD lengths 12 to 64 as far as `capacity` allows.
bool IsPayloadLength(int length, int capacity);
