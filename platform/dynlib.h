// Shared objects opened at run time (the mini-game library). Failures do not log: the caller
// writes one line with PlatLib_LastError.
#pragma once

// Opens the shared object at `path` ("./name.so" for the game's folder); null when it cannot be,
// or when the path names something other than a regular file (never waited on).
void* PlatLib_Open(const char* path);
// The address of an exported name; null when the object lacks it.
void* PlatLib_Symbol(void* library, const char* name);
void PlatLib_Close(void* library);
// Why the last open failed (the loader's words), "" when it did not.
const char* PlatLib_LastError();
