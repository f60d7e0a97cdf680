// SPDX-License-Identifier: MIT
/*
 * The floor for the send benchmark: a bare loop of write() calls of one
 * frame on a raw CAN socket, with nothing else per frame.
 *
 *   writeloop IFACE COUNT fd|classic [LOOPBACK [LENGTH]]
 *   writeloop --now        prints the wall-clock time in microseconds
 *                          (the guest's busybox date has no sub-second field)
 *
 * Sends COUNT copies of the frame id 0x123, LENGTH payload bytes 0x55
 * (default 8; up to 64 as a struct canfd_frame without flags for "fd", up to
 * 8 as a struct can_frame for "classic"), with CAN_RAW_LOOPBACK set to
 * LOOPBACK (default 0; 1 lets receivers on this host see the frames), and
 * prints
 *   writeloop: sent N of COUNT frames in T us: S f/s
 * where S = N * 1000000 / T. Exit status 0 when every write was whole.
 */
#include <stdint.h>
#include <stdlib.h>
#include <sys/time.h>
#include <unistd.h>

#include "loop-socket.h"

static int64_t now_us(void)
{
    struct timeval tv;
    gettimeofday(&tv, NULL);
    return (int64_t)tv.tv_sec * 1000000 + tv.tv_usec;
}

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "--now") == 0) {
        printf("%lld\n", (long long)now_us());
        return 0;
    }
    if (argc < 4 || argc > 6) {
        fprintf(stderr, "usage: %s IFACE COUNT fd|classic [LOOPBACK [LENGTH]]\n", argv[0]);
        return 2;
    }
    const long count = strtol(argv[2], NULL, 10);
    const int fd_frames = strcmp(argv[3], "fd") == 0;
    const int loopback = argc >= 5 ? atoi(argv[4]) : 0;
    const int length = argc == 6 ? atoi(argv[5]) : 8;
    if (length < 0 || length > (fd_frames ? CANFD_MAX_DLEN : CAN_MAX_DLEN)) {
        fprintf(stderr, "%s: length %d does not fit a %s frame\n", argv[0], length, argv[3]);
        return 2;
    }

    const int s = loop_socket(argv[1], fd_frames);
    if (s < 0)
        return 1;
    if (setsockopt(s, SOL_CAN_RAW, CAN_RAW_LOOPBACK, &loopback, sizeof loopback) != 0) {
        perror("CAN_RAW_LOOPBACK");
        return 1;
    }

    struct canfd_frame frame;
    memset(&frame, 0, sizeof frame);
    frame.can_id = 0x123;
    frame.len = (unsigned char)length;
    memset(frame.data, 0x55, (size_t)length);
    /* A struct can_frame has the same layout for its first 16 bytes. */
    const size_t size = fd_frames ? sizeof(struct canfd_frame) : sizeof(struct can_frame);

    long sent = 0;
    const int64_t start = now_us();
    for (long i = 0; i < count; ++i) {
        if (write(s, &frame, size) == (ssize_t)size)
            ++sent;
    }
    const int64_t elapsed = now_us() - start;
    printf("writeloop: sent %ld of %ld frames in %lld us: %lld f/s\n", sent, count,
           (long long)elapsed, elapsed > 0 ? (long long)(sent * 1000000LL / elapsed) : 0LL);
    return sent == count ? 0 : 1;
}
