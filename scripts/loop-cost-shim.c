// SPDX-License-Identifier: MIT
/*
 * Preloaded by scripts/loop-cost.sh: stands in for the socket calls that set
 * up a CAN socket, so that a send run can go on a host without CAN. The
 * socket is /dev/null, which takes every write whole.
 */
#include <fcntl.h>
#include <net/if.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

int socket(int domain, int type, int protocol)
{
    (void)domain;
    (void)type;
    (void)protocol;
    return open("/dev/null", O_WRONLY);
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

int setsockopt(int fd, int level, int name, const void *value, socklen_t length)
{
    (void)fd;
    (void)level;
    (void)name;
    (void)value;
    (void)length;
    return 0;
}
