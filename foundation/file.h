// The file layer: loose files first, then the members of the data archives
// "main\data00.twk" .. "main\data63.twk" (the highest-numbered archive wins for a name that
// several hold). Names use "\" or "/" and compare without regard to case, on disk as well.
#pragma once
#include <cstddef>
#include <cstdint>

struct FileHandle;

constexpr int kArchiveCount = 64;
constexpr int kArchiveNameSize = 128;  // a member name has at most 127 characters
constexpr int kTextCacheSize = 512;

// One distinct member name of the archives, in the sorted directory with its search tree.
struct ArchiveEntry {
  char name[kArchiveNameSize];  // lower-case, "/" between folders
  uint32_t nameHash;
  uint32_t dirHash;        // of the folder part with its last separator
  uint32_t extHash;        // of the extension with its dot
  uint32_t size;           // uncompressed
  uint32_t archiveIndex;
  uint32_t posOffset;      // where its central record lies in the archive
  uint32_t posEntry;
  int32_t left, right;     // children in the search tree, -1 for none
};

// Engine start-up: "_debug" switches, log, banner, memory report, random table, settings table,
// archives. File_Shutdown undoes it in reverse and closes the log.
void File_Init();
void File_Shutdown();

// "rb" or "wb" (either case). Reading tries the disk, then the archives. Writing goes to disk
// only: the folders are created, the bytes go to a temporary file that File_Close renames over
// the name, so an unfinished write never replaces a complete file.
FileHandle* File_Open(const char* name, const char* mode);
// Items read; 0 on a read error, and 0 for the read that completes a member whose CRC-32 does not
// match (the error is logged).
size_t File_Read(void* buffer, size_t itemSize, size_t itemCount, FileHandle* f);
size_t File_Write(const void* buffer, size_t itemSize, size_t itemCount, FileHandle* f);
uint32_t File_Size(FileHandle* f);
// Closes the handle. A written file is flushed to the disk, renamed over its name and its folder
// synced; 1 when all of that succeeded (and for a read without error), else 0 with a log line,
// the temporary file removed and any older file of the name untouched.
int File_Close(FileHandle* f);
// Closes a handle opened for writing without keeping what was written: the older file of the
// name stays as it was. A reading handle is simply closed.
void File_Discard(FileHandle* f);
// 1 when the handle reads an archive member, 2 a disk file.
uint32_t File_Kind(const FileHandle* f);

// The most a whole-file read takes: an archive member may declare about a thousand times its
// packed size, so a small damaged archive could otherwise ask for gigabytes.
constexpr uint64_t kFileMaxWhole = 256u << 20;
// 1 when a whole read of `size` bytes is allowed; 0 with the log line "<caller>: <name> is too
// large (<size> bytes)" when it is over kFileMaxWhole.
int File_WholeSizeAllowed(const char* caller, const char* name, uint64_t size);

// Reads a whole file into a block of its size + 2 bytes (the last two are zero) allocated with
// Global_Malloc and `tag`; the caller releases it with Global_Free. Null (with a log line for a
// damaged or oversized file) when it is missing, damaged or larger than 256 MiB.
void* File_LoadWhole(const char* name, uint32_t* size, const char* tag);

// A whole text file followed by two zero bytes, from a 512-entry cache; null for a missing or
// empty file (remembered: asking again does not touch the disk). The text belongs to the cache.
// It stays valid until TextFile_Flush, and at least until 512 further distinct names have been
// asked for: a full cache retires its texts, and frees them only when it fills once more. Use
// or copy a text before asking for hundreds of others.
const char* TextFile_Get(const char* name);
// The same, with the file's own size (without the two zero bytes) in *size (0 when missing).
const char* TextFile_GetSized(const char* name, uint32_t* size);
void TextFile_Flush();

void File_MakeDirTree(const char* path);
void File_MakeDirsForFile(const char* path);
void File_SlashPath(char* path);
// One search at a time over a folder: "folder\*.ext" ("*" and "?" match any characters, without
// regard to case). A returned name stays valid until the next call of one of the three.
const char* File_FindFirst(const char* pattern);
const char* File_FindNext();
void File_FindClose();
// Appends to output the base names (no folder, no extension) of the files in `directory` (with
// its trailing "\") with `extension` (".sav"): archive members first, then disk files, each name
// once. Slot n starts at output + n x stride and holds at most stride - 1 characters.
void File_ListFiles(const char* directory, const char* extension, int* count, char* output,
                    int maximum, int stride);
// With the setting "copy_directory" set, copies the disk file at path below that folder.
void File_CopyToCopyDirectory(const char* path);
// The desktop's open-file chooser: the chosen path (relative to the start folder when below it),
// an empty text when cancelled, or null (with a log line) when no chooser can be shown.
const char* File_OpenDialog(const char* filter);

// The disk path a name resolves to ("\" or "/", any case per component); 1 when found.
int File_ResolveDiskPath(const char* name, char* out, size_t outSize);

// The mounted archive directory.
int File_ArchiveEntryCount();
const ArchiveEntry* File_ArchiveEntries();
// Searches the tree from node `node` for the lower-case name with hash `hash`; index or -1.
int Zip_FindEntry(int node, uint32_t hash, const char* name);
