// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "can/LinkFacts.h"

// Asks the kernel for the facts of interface `ifindex` over rtnetlink
// (RTM_GETLINK) and waits at most kLinkWaitMillis for the answer. Facts of
// `can` false when there are none.
constexpr int kLinkWaitMillis = 100;
LinkFacts ReadLinkFacts(int ifindex);

// Requests for the facts of one interface whose answers are taken later,
// for a loop that must not wait for the kernel. Its socket is opened by
// the first request and closed with it.
class LinkQuery {
 public:
  explicit LinkQuery(int ifindex) : m_ifindex(ifindex) {}
  ~LinkQuery();
  LinkQuery(const LinkQuery&) = delete;
  LinkQuery& operator=(const LinkQuery&) = delete;

  // Sends a request; the answer to an earlier one, should it still come, is
  // passed over. False when none could be sent.
  bool Ask();
  // True while the latest request is unanswered.
  bool Asked() const { return m_asked; }
  // The answer to the latest request among what comes within `millis`
  // (0: what has come already): true with *facts, of `can` false when the
  // kernel refused; false when none came.
  bool Take(int millis, LinkFacts* facts);

 private:
  int m_ifindex;
  int m_socket = -1;
  uint32_t m_sequence = 0;
  bool m_asked = false;
};
