// The reader of key and value tokens in square brackets, shared by the definition and script
// files. It never logs: callers report.
#pragma once
#include <cstddef>

constexpr size_t kParTokenSize = 4096;

// Returns the text between the next "[" and "]" of `text` (a later "[" restarts the token), or
// null at the end of the text; `rest` (may be null) is set just behind the "]", or to null.
// The token lives in one process-wide buffer that the next call overwrites. A token longer than
// 4095 characters is cut to its first 4095 characters; the scan still goes on to its "]".
const char* Par_NextBracketToken(const char* text, const char** rest);
// The same into the caller's buffer of `size` bytes (size >= 1); the token is cut to size - 1.
const char* Par_NextBracketTokenTo(const char* text, const char** rest, char* buffer, size_t size);
