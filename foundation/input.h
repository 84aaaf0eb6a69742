// Keyboard and mouse devices, key bindings and input commands.
#pragma once

void DI_Init(int stage);
void DI_Acquire();
void DI_Shutdown();

void Input_Init(int stage);
void Input_Poll();
void Input_ProcessEvents();
