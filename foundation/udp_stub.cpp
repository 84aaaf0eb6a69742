// Placeholder entries until the UDP transport exists.
#include "foundation/udp.h"
void NET_Init(int) {}
void NET_Shutdown() {}
