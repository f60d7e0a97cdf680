// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

#include "can/LinkFacts.h"

// What one datagram from the kernel held for the request `sequence` about
// interface `ifindex`.
enum class LinkReply {
  kOther,    // nothing for this request: wait on
  kFacts,    // the link's message; *facts filled
  kRefused,  // an error, a message cut short or of another link: give up
};

// Every length in `message` is checked against what surrounds it before it
// is read; nothing beyond `size` bytes is touched.
LinkReply ParseLinkReply(const unsigned char* message, size_t size,
                         uint32_t sequence, int ifindex, LinkFacts* facts);
