// The UDP transport: one non-blocking datagram socket on port 5551, broadcast allowed.
// An IPv4 address is an unsigned 32-bit value whose first byte in memory is the first number of
// the dotted form; 0 means "everyone on the local network" when sending.
#pragma once
#include <cstdint>

constexpr int kNetPort = 5551;
constexpr int kNetPacketSize = 65280;  // the frame's receive buffer and the socket buffers
constexpr int kNetAddrTextSize = 16;

// Module entry: stage 0 registers the settings; stage 1 (after the settings are read) opens the
// socket on "net_bindaddress" (every address when empty); its success is the networking-up flag.
void NET_Init(int stage);
void NET_Shutdown();
void NET_Send(const void* data, int length, uint32_t address);
int NET_Receive(void* buffer, int capacity, uint32_t* sender);  // UDP_Receive
// The dotted form a.b.c.d into `out` (at least 16 bytes).
void NET_AddrToText(uint32_t address, char* out);
extern int NET_Up;
// The dotted form into an address; 0 for anything else (the address is then left alone).
int NET_TextToAddr(const char* text, uint32_t* address);
// Settings: "net_bindaddress" (empty: every address, so broadcasts arrive) binds the socket to one
// address; "net_refreshaddresses" (space-separated dotted addresses,
// empty: broadcast) are asked by a server-list refresh instead of the broadcast.
struct VarRecord;
extern VarRecord net_bindaddress;
extern VarRecord net_refreshaddresses;
extern uint32_t NET_LocalAddress;

// Opens the socket on any address and port 5551. Returns the up flag; the local address (of the
// first network interface that is up, else the loopback) goes to `localAddress`.
int UDP_Open(uint32_t* localAddress);
// The same on a given bind address (0 = any) and port (0 = one the system picks); sends go to
// the same port. Tests use it with loopback addresses.
int UDP_OpenOn(uint32_t bindAddress, int port, uint32_t* localAddress);
void UDP_Close();
// Sends one datagram to the address (0 = broadcast) at the socket's port; errors are not reported.
void UDP_Send(const void* data, int length, uint32_t address);
// Receives one datagram: its byte count, 0 when none is waiting, or minus a WinSock code, which
// the caller reports under "WSA read": -kUdpTooLong for a datagram larger than the buffer
// (consumed and dropped; its sender is stored; more may wait), any other for a read error.
// Empty datagrams are consumed and skipped. The sender is stored only for a datagram returned.
constexpr int kUdpTooLong = 10040;
int UDP_Receive(void* buffer, int capacity, uint32_t* sender);
int UDP_IsUp();
int UDP_Port();  // the port of the open socket, 0 when closed
// Logs "caller: description[code]" for a WinSock error code.
void UDP_ErrorText(const char* caller, int code);
const char* UDP_ErrorDescription(int code);
// The WinSock error code of a system error number.
int UDP_SystemErrorCode(int err);
