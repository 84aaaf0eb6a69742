// The text log "log" in the working directory.
#pragma once
#include <cstdarg>

void Log_Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log_VPrintf(const char* format, va_list args);
void Log_Banner();
void Log_CommandLine();

// Opened by File_Init (kept open with "openLog", otherwise emptied once), closed by File_Shutdown.
void Log_Open();
void Log_Close();
