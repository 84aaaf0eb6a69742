// The UDP transport on port 5551.
#pragma once

void NET_Init(int stage);
void NET_Shutdown();
