// Read-only zip archives (single disk, stored and deflated members). Record signatures may begin
// with 'p' as well as 'P'. Every operation returns a code and never logs; the file layer reports.
#pragma once
#include <cstddef>
#include <cstdint>

// Why the last archive or member open was refused when the records are sound but hold what this
// reader does not read (zip64 records, a packing method other than stored and deflated,
// encryption): a text for the log. Null when the last open succeeded or met damage.
const char* Zip_RefusalReason();
// Why the last Zip_Open found no file to read, for the log: "cannot be opened: <reason>", or "is
// not a regular file" (a folder, a named pipe or a device is never read as an archive, and never
// waited on). Null when the file was opened, whatever its records held.
const char* Zip_OpenFault();

enum ZipResult : int {
  ZIP_OK = 0,
  ZIP_ERRNO = -1,            // read or seek failure
  ZIP_END_OF_LIST = -100,    // no further entry, or no current entry
  ZIP_PARAM_ERROR = -102,    // null handle, no member open
  ZIP_BAD_ZIPFILE = -103,    // a record is damaged or disagrees with another
  ZIP_INTERNAL_ERROR = -104, // out of memory
  ZIP_CRC_ERROR = -105,      // the member's bytes do not match its CRC-32
};

struct ZipArchive;
struct ZipMember;

struct ZipGlobalInfo {
  uint32_t entryCount;
  uint32_t commentLength;
};

struct ZipDate {
  uint32_t seconds, minutes, hours, day, month, year;  // month 0..11
};

// The fields of a central-directory record.
struct ZipFileInfo {
  uint32_t versionMadeBy;
  uint32_t versionNeeded;
  uint32_t flags;
  uint32_t method;
  uint32_t dosDate;
  uint32_t crc;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  uint32_t nameLength;
  uint32_t extraLength;
  uint32_t commentLength;
  uint32_t diskNumberStart;
  uint32_t internalAttributes;
  uint32_t externalAttributes;
  uint32_t localHeaderOffset;
  ZipDate date;
};

// Where an entry's central record lies, to make it current again without walking.
struct ZipPos {
  uint32_t offset;  // of the central record in the archive
  uint32_t entry;   // entry number, 0..
};

ZipArchive* Zip_Open(const char* path);
// An archive held in memory (not copied: the bytes must outlive the archive).
ZipArchive* Zip_OpenMemory(const void* data, size_t size);
// Closes the current member and the archive. Members opened with Zip_OpenMember stay readable
// until they are closed; the archive's file is released with the last of them.
int Zip_Close(ZipArchive* zip);
int Zip_GetGlobalInfo(ZipArchive* zip, ZipGlobalInfo* info);
int Zip_GoToFirstFile(ZipArchive* zip);
int Zip_GoToNextFile(ZipArchive* zip);
// Any buffer may be null. The name is always terminated: at most nameSize - 1 bytes are copied.
int Zip_GetCurrentFileInfo(ZipArchive* zip, ZipFileInfo* info, char* name, uint32_t nameSize,
                           void* extra, uint32_t extraSize, char* comment, uint32_t commentSize);
int Zip_GetFilePos(ZipArchive* zip, ZipPos* pos);
int Zip_GoToFilePos(ZipArchive* zip, const ZipPos* pos);

// The archive's one current member.
int Zip_OpenCurrentFile(ZipArchive* zip);
// Bytes read (0 at the end) or a negative code. The read that completes the member returns
// ZIP_CRC_ERROR when its bytes do not match the stored CRC-32.
int Zip_ReadCurrentFile(ZipArchive* zip, void* buffer, uint32_t length);
int Zip_CloseCurrentFile(ZipArchive* zip);

// Independent members: each has its own position and inflate state, so any number of members of
// one archive can be open and read in any interleaving.
int Zip_OpenMember(ZipArchive* zip, const ZipPos* pos, ZipMember** member);
int Zip_ReadMember(ZipMember* member, void* buffer, uint32_t length);
// 0, ZIP_CRC_ERROR when the member was read to its end and its CRC-32 differs, ZIP_BAD_ZIPFILE
// when its data ended before its stated size, or the read error the member met.
int Zip_CloseMember(ZipMember* member);
uint32_t Zip_MemberSize(const ZipMember* member);

// CRC-32 as zlib's crc32 computes it (start with 0), faster where the processor allows.
uint32_t Zip_Crc32(uint32_t crc, const void* data, size_t length);
