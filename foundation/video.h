// Display modes, gamma, and the display module's entry that carries the renderer.
#pragma once

void Video_EnumDisplayModes(int stage);
void Video_RestoreDisplayMode();
void Video_Init(int stage);
void Video_Shutdown();
