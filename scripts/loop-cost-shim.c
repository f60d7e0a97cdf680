// SPDX-License-Identifier: MIT
/*
 * Preloaded by scripts/loop-cost.sh and tests/status_line_test.sh: stands
 * in for the socket calls that set up a CAN socket, so that a run can go on
 * a host without CAN. The socket is
 * /dev/null, which takes every write whole. With LOOP_COST_FRAMES=N, reads
 * on it deliver N copies of one frame (id 0x123, LOOP_COST_LENGTH payload
 * bytes, default 8, in the size asked for: a CAN FD or a classic frame);
 * the read after the last one raises SIGINT and brings no frame, which ends
 * a receive run of either program. With LOOP_COST_GROW=1 the frames are those
 * of a grow-mode send run instead: the identifier rises by one a frame and
 * wraps at 7FF, and payload bytes 0 to 3 carry it (the grow-mode payload of
 * src/frame/GrowPayload.h). With LOOP_COST_MARK=1 they are the frames of a
 * marked send run, tag 12345, numbered from 0, the last one marked as the
 * run's last: the layout and check of the man page's MARKED FRAMES, built
 * here from that text alone. recvmsg delivers the same frames with a
 * receive time as SO_TIMESTAMP gives it, 100 us apart, for --journal.
 */
#include <errno.h>
#include <fcntl.h>
#include <linux/can.h>
#include <net/if.h>
#include <signal.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

static int can_socket = -1;
static long frames_left = -1;
static struct canfd_frame frame;
static int grow;
static int mark;
static unsigned long long number;

/* The man page's check: the top 20 bits of (frame word xor run word times
 * K1) times K2. */
static unsigned long long mark_word(const struct canfd_frame *f, size_t size,
                                    unsigned long long n, unsigned tag, int last)
{
    const int fd = size == sizeof(struct canfd_frame);
    const unsigned long long frame_word =
        (unsigned long long)f->can_id | (unsigned long long)f->len << 32 |
        (unsigned long long)(fd && (f->flags & CANFD_BRS) ? 1 : 0) << 40 |
        (unsigned long long)(f->len > 8 ? f->data[8] : 0) << 48;
    const unsigned long long run = n + ((unsigned long long)tag << 40) +
                                   ((unsigned long long)(last ? 1 : 0) << 59);
    const unsigned long long x =
        (frame_word ^ run * 0x9E3779B97F4A7C15ULL) * 0xFF51AFD7ED558CCDULL;
    return (n & 0xFFFFFF) | (unsigned long long)tag << 24 |
           (unsigned long long)(last ? 1 : 0) << 43 | (x >> 44) << 44;
}

int socket(int domain, int type, int protocol)
{
    /* The netlink socket of the link facts is the kernel's own. */
    if (domain != PF_CAN)
        return (int)syscall(SYS_socket, domain, type, protocol);
    can_socket = open("/dev/null", O_WRONLY);
    const char *frames = getenv("LOOP_COST_FRAMES");
    const char *length = getenv("LOOP_COST_LENGTH");
    const char *grows = getenv("LOOP_COST_GROW");
    const char *marks = getenv("LOOP_COST_MARK");
    frames_left = frames != NULL ? atol(frames) : -1;
    grow = grows != NULL && atoi(grows) != 0;
    mark = marks != NULL && atoi(marks) != 0;
    frame.can_id = 0x123;
    frame.len = (unsigned char)(length != NULL ? atoi(length) : 8);
    memset(frame.data, 0xA5, sizeof frame.data);
    return can_socket;
}

ssize_t read(int fd, void *buffer, size_t size)
{
    if (fd != can_socket || frames_left < 0)
        return syscall(SYS_read, fd, buffer, size);
    if (frames_left == 0) {
        raise(SIGINT);
        errno = EAGAIN;
        return -1;
    }
    --frames_left;
    if (grow) {
        frame.can_id = (frame.can_id + 1) & CAN_SFF_MASK;
        memcpy(frame.data, &frame.can_id, 4); /* as PutGrowId does */
    }
    if (mark) {
        const unsigned long long word =
            mark_word(&frame, size, number++, 0x12345, frames_left == 0);
        memcpy(frame.data, &word, 8);
    }
    memcpy(buffer, &frame, size < sizeof frame ? size : sizeof frame);
    return (ssize_t)size;
}

ssize_t recvmsg(int fd, struct msghdr *message, int flags)
{
    static struct timeval stamp = {1700000000, 0};
    if (fd != can_socket || frames_left < 0)
        return syscall(SYS_recvmsg, fd, message, flags);
    ssize_t got = read(fd, message->msg_iov[0].iov_base, message->msg_iov[0].iov_len);
    struct cmsghdr *part = CMSG_FIRSTHDR(message);
    if (got < 0 || part == NULL || message->msg_controllen < CMSG_SPACE(sizeof stamp))
        return got;
    stamp.tv_usec += 100;
    if (stamp.tv_usec >= 1000000) {
        stamp.tv_usec -= 1000000;
        ++stamp.tv_sec;
    }
    part->cmsg_level = SOL_SOCKET;
    part->cmsg_type = SCM_TIMESTAMP;
    part->cmsg_len = CMSG_LEN(sizeof stamp);
    memcpy(CMSG_DATA(part), &stamp, sizeof stamp);
    message->msg_controllen = CMSG_SPACE(sizeof stamp);
    return got;
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    struct ifreq *ifr = va_arg(args, struct ifreq *);
    va_end(args);
    (void)fd;
    if (request == SIOCGIFINDEX)
        ifr->ifr_ifindex = 1;
    if (request == SIOCGIFMTU)
        ifr->ifr_mtu = 72; /* a CAN FD interface */
    return 0;
}

int bind(int fd, const struct sockaddr *address, socklen_t length)
{
    (void)fd;
    (void)address;
    (void)length;
    return 0;
}

/* The socket's memory facts (SO_MEMINFO): it dropped no frame. */
int getsockopt(int fd, int level, int name, void *value, socklen_t *length)
{
    if (fd != can_socket)
        return (int)syscall(SYS_getsockopt, fd, level, name, value, length);
    memset(value, 0, *length);
    return 0;
}

int setsockopt(int fd, int level, int name, const void *value, socklen_t length)
{
    (void)fd;
    (void)level;
    (void)name;
    (void)value;
    (void)length;
    return 0;
}
