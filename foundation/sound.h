// The sound API and its DirectSound-style back end.
#pragma once

void DSInit(int stage);
void DS_Shutdown();

void Sound_Init(int stage);
void Sound_Shutdown();
