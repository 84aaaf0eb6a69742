// The Transport System between districts, the other full-screen modes and the city map.
#pragma once
#include <cstdint>

void TS_Init();
void TS_Draw();
void TS_Input();
void MapScreen_Draw();
extern uint32_t MapScreen_Open;
