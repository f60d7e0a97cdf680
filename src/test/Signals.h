// SPDX-License-Identifier: MIT
#pragma once

// How the programs take signals.

// Runs `handler` on `sig`, with SA_RESTART: a write to standard output or a
// file that the signal interrupts goes on where it was, so no byte of a frame
// line or of the totals is lost (without it, a write blocked on a full pipe
// fails with EINTR, and glibc's stdio drops what it held). The calls that
// must end at once still do: the kernel restarts no socket call that has a
// time-out (the channel always sets SO_SNDTIMEO and SO_RCVTIMEO), nor poll,
// recvmsg with a time-out or a sleep, so Ctrl-C ends a blocked read or write
// of a frame, a wait for the kernel's link facts and a pause promptly.
void CatchSignal(int sig, void (*handler)(int));

// A write to a pipe that nobody reads any more then fails with EPIPE, which
// the run reports, instead of ending the process.
void IgnoreBrokenPipes();
