#include "foundation/udp.h"

#include <cstdio>

#include "foundation/log.h"
#include "foundation/var.h"

int NET_Up;
VarRecord net_bindaddress = {"net_bindaddress", 0, VAR_SETTABLE | VAR_ALWAYS, 0, "", 0, nullptr};
VarRecord net_refreshaddresses = {"net_refreshaddresses", 0, VAR_SETTABLE | VAR_ALWAYS, 0, "", 0, nullptr};
uint32_t NET_LocalAddress;

namespace {

struct ErrorText {
  int code;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references: can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network sub-system is unusable"},
    {10092, "WinSock DLL cannot support this application"},
    {10093, "WinSock not initialized"},
    {11001, "Host not found"},
    {11002, "Non-authoritative host not found"},
    {11003, "Non-recoverable error"},
    {11004, "No Data"},
};

}  // namespace

const char* UDP_ErrorDescription(int code) {
  for (const ErrorText& e : kErrorTexts)
    if (e.code == code) return e.text;
  return "Not a WinSock error";
}

void UDP_ErrorText(const char* caller, int code) {
  Log_Printf("%s: %s[%d]\n", caller ? caller : "", UDP_ErrorDescription(code), code);
}

int UDP_Open(uint32_t* localAddress) { return UDP_OpenOn(0, kNetPort, localAddress); }

void NET_Init(int stage) {
  if (stage == 0) {
    Var_Register(&net_bindaddress);
    Var_Register(&net_refreshaddresses);
    NET_LocalAddress = 0;
    NET_Up = 0;
    return;
  }
  // The socket opens once the settings are read, on the address they give: a copy that took every
  // address first would hold the port against another copy bound to its own address.
  if (stage != 1) return;
  uint32_t bind = 0;
  if (net_bindaddress.text[0] && !NET_TextToAddr(net_bindaddress.text, &bind)) {
    Log_Printf("NET_Init: net_bindaddress \"%s\" is not an address; the socket takes every address\n",
               net_bindaddress.text);
    bind = 0;
  }
  UDP_Close();
  NET_LocalAddress = 0;
  NET_Up = bind ? UDP_OpenOn(bind, kNetPort, &NET_LocalAddress) : UDP_Open(&NET_LocalAddress);
  if (NET_Up && bind) NET_LocalAddress = bind;
}

int NET_TextToAddr(const char* text, uint32_t* address) {
  uint32_t result = 0;
  const char* p = text;
  for (int part = 0; part < 4; part++) {
    if (*p < '0' || *p > '9') return 0;
    unsigned value = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9' && digits < 4) value = value * 10 + unsigned(*p++ - '0'), digits++;
    if (value > 255 || digits > 3) return 0;
    result |= uint32_t(value) << (8 * part);
    if (part < 3 && *p++ != '.') return 0;
  }
  if (*p) return 0;
  *address = result;
  return 1;
}

void NET_Shutdown() {
  UDP_Close();
  NET_Up = 0;
}

void NET_Send(const void* data, int length, uint32_t address) { UDP_Send(data, length, address); }

int NET_Receive(void* buffer, int capacity, uint32_t* sender) { return UDP_Receive(buffer, capacity, sender); }

void NET_AddrToText(uint32_t address, char* out) {
  const uint8_t* b = reinterpret_cast<const uint8_t*>(&address);
  std::snprintf(out, kNetAddrTextSize, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
}
