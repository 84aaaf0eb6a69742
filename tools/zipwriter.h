// Writes zip archives (stored and deflated members) in the form the engine's reader expects:
// used by the tests, the fuzz seeds and to build the sample game's data archives.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct ZipWriter;

enum ZipWriterMethod : int { ZIPW_STORED = 0, ZIPW_DEFLATED = 8 };

struct ZipWriterOptions {
  int method = ZIPW_DEFLATED;
  bool dataDescriptor = false;  // flag bit 3: zero sizes and CRC in the local header, a descriptor after the data
  uint32_t dosDate = 0x21210000;  // 1996-09-01 00:00:00
  const char* comment = nullptr;  // the entry's comment in the central directory
};

// signatureByte is the first byte of every record signature: 'P' (ordinary zip) or 'p'.
ZipWriter* ZipWriter_Create(uint8_t signatureByte = 'P');
// Adds a member; returns 1, or 0 (nothing added) when the name or data does not fit a zip
// without 64-bit extensions or the writer has 65,535 members already.
int ZipWriter_AddMember(ZipWriter* w, const char* name, const void* data, size_t size, int method);
int ZipWriter_AddMemberEx(ZipWriter* w, const char* name, const void* data, size_t size,
                          const ZipWriterOptions& options);
// Ends the archive with the central directory and end record and releases the writer.
std::vector<uint8_t> ZipWriter_Finish(ZipWriter* w, const char* archiveComment = nullptr);
// The same into a file: the parent folders are created, the bytes go to a temporary name that
// is renamed over `path` when complete. Returns 1 on success, 0 with a log line otherwise.
int ZipWriter_FinishToFile(ZipWriter* w, const char* path, const char* archiveComment = nullptr);
// Releases a writer without finishing it.
void ZipWriter_Discard(ZipWriter* w);

// Packs every file below `folder` (names relative to it, "/" between folders, in sorted order,
// deflated) into the archive at `archivePath`. Returns the number of members, or -1 with a log
// line when the folder cannot be read or the archive cannot be written.
int ZipWriter_PackFolder(const char* folder, const char* archivePath);
