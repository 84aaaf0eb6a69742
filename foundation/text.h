// Localized texts and the on-screen message lines.
//
// Every visible text is one file per key in the folder of the language that "video_lang" names:
// base folder + language + "\" + key + ".txt", for instance "data\text\" + "Eng" + "\" +
// "consol\paused" + ".txt". A file is UTF-16 little-endian when it begins with the byte-order
// mark (bytes FF FE), single-byte text otherwise; both come back as UTF-16 that begins with 0xFEFF.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kTextBuffers = 8;
constexpr int kTextBufferUnits = 4096;  // the mark, at most 4094 units of text, the zero
constexpr int kTextNameSize = 512;      // longest file name built from base, language and key
constexpr char16_t kTextMark = 0xFEFF;

// The text of the key in the current language, in the next of 8 rotating buffers (valid through
// the next seven calls); always begins with 0xFEFF. Null for a null or empty key, a missing or
// empty file, or a file name longer than kTextNameSize - 1.
const char16_t* Text_Get(const char* base, const char* key);
// The file's bytes with two zero bytes behind them (size without those in *size when given), or
// null; same file name as Text_Get, no conversion. The bytes belong to the text-file cache (valid
// until it is flushed).
const uint8_t* Text_GetRaw(const char* base, const char* key, size_t* size = nullptr);
// Converts file bytes to UTF-16 behind the mark 0xFEFF, reading at most sourceSize bytes and
// writing at most outUnits units (always terminated when outUnits > 0). A source beginning with the
// mark is copied unit by unit; any other byte text is widened byte by byte (0..255). Returns the
// units written before the terminator.
size_t Text_ToWide(const void* source, size_t sourceSize, char16_t* out, size_t outUnits);

// Draws the key's text word-wrapped in the box through the drawing hooks below; nothing for a
// missing text or one of fewer than two bytes.
void Text_Draw(const char* base, const char* key, float left, float top, float right, float bottom);
// The word-wrapped text drawing of the renderer, set when it starts (null: nothing is drawn).
// Each returns the bottom it reached.
extern float (*Text_PrintBox)(float left, float top, float right, float bottom, const char* text);
extern float (*Text_PrintBoxW)(float left, float top, float right, float bottom, const char16_t* text);

// The on-screen message log: timed UTF-16 lines in order of adding.
constexpr int kConsolePoolUnits = 0x1FFF8;
constexpr int kConsoleMaxLines = 65527;
constexpr double kConsoleMessageSeconds = 7.0;  // callers pass Timer_Now() + this

// Appends a line that shows until the engine clock passes expiry. When the pool or the line
// table is full, lines that can no longer show are reclaimed first; a line that still does not
// fit is dropped.
void Console_AddMessage(const char16_t* text, double expiry);
int Console_GetLineCount();
// Line index (0 = oldest kept), or null for an index out of range.
const char16_t* Console_GetLine(int index, double* expiry);
// The first line to show at time now: the oldest of the newest run of lines whose expiry lies
// after now. Returns Console_GetLineCount() when none shows.
int Console_FirstLiveLine(double now);
void Console_Clear();
