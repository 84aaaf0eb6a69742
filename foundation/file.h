// The file layer: loose files first, then the members of the data archives.
#pragma once
#include <cstddef>
#include <cstdint>

struct FileHandle;

// Engine start-up: "_debug" switches, log, banner, memory report, random table, settings table,
// archives. File_Shutdown undoes it in reverse and closes the log.
void File_Init();
void File_Shutdown();

FileHandle* File_Open(const char* name, const char* mode);  // "rb" or "wb"
size_t File_Read(void* buffer, size_t itemSize, size_t itemCount, FileHandle* f);
size_t File_Write(const void* buffer, size_t itemSize, size_t itemCount, FileHandle* f);
uint32_t File_Size(FileHandle* f);
void File_Close(FileHandle* f);
