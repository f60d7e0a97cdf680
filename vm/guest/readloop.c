// SPDX-License-Identifier: MIT
/*
 * The floor for the receive benchmark: a bare loop of read() calls of one
 * frame from a raw CAN socket, with nothing else per frame but a count.
 *
 *   readloop IFACE fd|classic
 *
 * Reads struct canfd_frame ("fd", CAN FD frames on) or struct can_frame
 * ("classic") until SIGINT, with batch scheduling as our receive runs ask
 * for, then prints
 *   readloop: received N frames
 * Exit status 0 unless the socket could not be set up.
 */
#define _GNU_SOURCE /* SCHED_BATCH */
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include "loop-socket.h"

static volatile sig_atomic_t quit;

static void stop(int signal_number)
{
    (void)signal_number;
    quit = 1;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s IFACE fd|classic\n", argv[0]);
        return 2;
    }
    const int fd_frames = strcmp(argv[2], "fd") == 0;
    const int s = loop_socket(argv[1], fd_frames);
    if (s < 0)
        return 1;
    const struct sched_param param = {0};
    sched_setscheduler(0, SCHED_BATCH, &param);
    /* No SA_RESTART: Ctrl-C ends a read that waits. */
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = stop;
    sigaction(SIGINT, &action, NULL);

    struct canfd_frame frame;
    const size_t size = fd_frames ? sizeof(struct canfd_frame) : sizeof(struct can_frame);
    long long received = 0;
    while (!quit) {
        if (read(s, &frame, size) == (ssize_t)size)
            ++received;
    }
    printf("readloop: received %lld frames\n", received);
    return 0;
}
