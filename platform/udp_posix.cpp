// The UDP socket on POSIX sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "foundation/log.h"
#include "foundation/udp.h"

namespace {

int g_socket = -1;
int g_port = kNetPort;
int g_up;
uint32_t g_localAddress;
char g_localText[32];

struct ErrnoCode {
  int err;
  int code;
};

constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},        {EBADF, 10009},        {EACCES, 10013},          {EPERM, 10013},
    {EFAULT, 10014},       {EINVAL, 10022},       {EMFILE, 10024},          {ENFILE, 10024},
    {EWOULDBLOCK, 10035},  {EAGAIN, 10035},       {EINPROGRESS, 10036},     {EALREADY, 10037},
    {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},      {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},     {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},      {ENOMEM, 10055},          {EISCONN, 10056},
    {ENOTCONN, 10057},     {ESHUTDOWN, 10058},    {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},        {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},    {EUSERS, 10068},          {EDQUOT, 10069},
    {ESTALE, 10070},       {EREMOTE, 10071},
};

void ReportErrno(const char* caller, int err) { UDP_ErrorText(caller, UDP_SystemErrorCode(err)); }

// The address of the first IPv4 interface that is up, preferring one that is not the loopback.
int FindLocalAddress(uint32_t* out) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return 0;
  uint32_t loopback = 0, other = 0;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP)) continue;
    sockaddr_in sin;
    std::memcpy(&sin, i->ifa_addr, sizeof sin);
    if (i->ifa_flags & IFF_LOOPBACK) {
      if (!loopback) loopback = sin.sin_addr.s_addr;
    } else if (!other) {
      other = sin.sin_addr.s_addr;
    }
  }
  freeifaddrs(list);
  *out = other ? other : loopback;
  return *out != 0;
}

void CloseSocket() {
  if (g_socket >= 0) {
    shutdown(g_socket, SHUT_WR);  // not connected: refused, and that is fine
    close(g_socket);
    g_socket = -1;
  }
}

}  // namespace

int UDP_SystemErrorCode(int err) {
  for (const ErrnoCode& e : kErrnoCodes)
    if (e.err == err) return e.code;
  return err;
}

int UDP_IsUp() { return g_up; }

int UDP_Port() { return g_up ? g_port : 0; }

int UDP_OpenOn(uint32_t bindAddress, int port, uint32_t* localAddress) {
  UDP_Close();
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) {
    ReportErrno("WSA gethostname error", errno);
    return g_up;
  }
  uint32_t local = bindAddress;
  if (!local && !FindLocalAddress(&local)) {
    UDP_ErrorText("WSA gethostbyname error", 11001);
    return g_up;
  }

  g_socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (g_socket < 0) {
    ReportErrno("WSA create socket error", errno);
    return g_up;
  }
  int flags = fcntl(g_socket, F_GETFL, 0);
  fcntl(g_socket, F_SETFL, (flags < 0 ? 0 : flags) | O_NONBLOCK);
  int one = 1;
  setsockopt(g_socket, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);

  int rcv = 0, snd = 0;
  socklen_t len = sizeof rcv;
  getsockopt(g_socket, SOL_SOCKET, SO_RCVBUF, &rcv, &len);
  len = sizeof snd;
  getsockopt(g_socket, SOL_SOCKET, SO_SNDBUF, &snd, &len);
  Log_Printf("prev: [%i] [%i]\n", rcv, snd);
  int size = kNetPacketSize;
  setsockopt(g_socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  setsockopt(g_socket, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  len = sizeof rcv;
  getsockopt(g_socket, SOL_SOCKET, SO_RCVBUF, &rcv, &len);
  len = sizeof snd;
  getsockopt(g_socket, SOL_SOCKET, SO_SNDBUF, &snd, &len);
  Log_Printf("last: [%i] [%i]\n", rcv, snd);

  // Any address, not the host's own: a socket bound to one address receives no broadcasts.
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = bindAddress;
  addr.sin_port = htons(uint16_t(port));
  if (bind(g_socket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ReportErrno("WSA bind socket error", errno);
    CloseSocket();
    return g_up;
  }
  sockaddr_in bound{};
  len = sizeof bound;
  if (getsockname(g_socket, reinterpret_cast<sockaddr*>(&bound), &len) == 0) port = ntohs(bound.sin_port);
  g_port = port;

  const uint8_t* b = reinterpret_cast<const uint8_t*>(&local);
  std::snprintf(g_localText, sizeof g_localText, "%i.%i.%i.%i:%i", b[0], b[1], b[2], b[3], port);
  Log_Printf("host:%s,ip:%s\n", host, g_localText);
  g_localAddress = local;
  g_up = 1;
  if (localAddress) *localAddress = local;
  Log_Printf("WINS initialized.\n");
  return g_up;
}

void UDP_Close() {
  g_up = 0;
  CloseSocket();
}

void UDP_Send(const void* data, int length, uint32_t address) {
  if (!g_up || !data || length < 0) return;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address ? address : htonl(INADDR_BROADCAST);
  to.sin_port = htons(uint16_t(g_port));
  sendto(g_socket, data, size_t(length), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

int UDP_Receive(void* buffer, int capacity, uint32_t* sender) {
  if (!g_up || !buffer || capacity <= 0) return 0;
  // A bounded number of empty datagrams is skipped in one call.
  for (int skipped = 0; skipped < 64; skipped++) {
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    ssize_t n = recvfrom(g_socket, buffer, size_t(capacity), MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n < 0) {
      int err = errno;
      if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return 0;
      return -UDP_SystemErrorCode(err);
    }
    if (n == 0) continue;  // an empty datagram: consumed, nothing to hand on
    if (sender) *sender = from.sin_addr.s_addr;
    if (n > capacity) return -kUdpTooLong;  // cut short by the buffer: dropped whole
    return int(n);
  }
  return 0;
}
