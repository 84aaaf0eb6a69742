// Shared objects opened at run time (the mini-game library).
#pragma once

// Opens the shared object at `path` ("./name.so" for the game's folder); null with a log line
// naming the path and the loader's reason.
void* PlatLib_Open(const char* path);
// The address of an exported name; null (with a log line) when the object lacks it.
void* PlatLib_Symbol(void* library, const char* name);
void PlatLib_Close(void* library);
