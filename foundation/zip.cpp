#include "foundation/zip.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kEndSize = 22;
constexpr uint32_t kCentralSize = 46;
constexpr uint32_t kLocalSize = 30;
constexpr uint32_t kMaxBack = 65535;
constexpr uint32_t kInputBufferSize = 262144;
constexpr uint32_t kCrcPiece = 65536;

uint32_t Get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A record signature: 'P' or 'p', 'K', then the two kind bytes.
bool IsSignature(const uint8_t* p, uint8_t a, uint8_t b) {
  return (p[0] == 'P' || p[0] == 'p') && p[1] == 'K' && p[2] == a && p[3] == b;
}

}  // namespace

// CRC-32 of the zip format (zlib's crc32 conventions). On processors with carry-less multiply,
// 64-byte blocks are folded four lanes at a time and the last lane finished by table; otherwise
// zlib's own routine runs.
#if defined(__x86_64__)
namespace {

// x^e modulo the CRC polynomial, as the bit-reflected 64-bit operand of the multiply.
uint64_t FoldConstant(uint32_t e) {
  uint64_t r = 1;
  for (uint32_t i = 0; i < e; i++) {
    r <<= 1;
    if (r & (uint64_t(1) << 32)) r ^= 0x104C11DB7ull;
  }
  uint64_t out = 0;
  for (int k = 0; k < 32; k++)
    if (r >> k & 1) out |= uint64_t(1) << (63 - k);
  return out;
}

struct FoldConstants {
  uint64_t by512[2], by128[2];
  bool usable;
};

const FoldConstants& Constants() {
  static const FoldConstants c = {{FoldConstant(575), FoldConstant(511)},
                                  {FoldConstant(191), FoldConstant(127)},
                                  __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2")};
  return c;
}

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

__attribute__((target("pclmul,sse2"))) uint32_t FoldedCrc(uint32_t crc, const uint8_t* p, size_t n,
                                                         const FoldConstants& c) {
  const __m128i k512 = _mm_set_epi64x(int64_t(c.by512[1]), int64_t(c.by512[0]));
  const __m128i k128 = _mm_set_epi64x(int64_t(c.by128[1]), int64_t(c.by128[0]));
  auto load = [](const uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(int(~crc)));
  __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
  p += 64;
  n -= 64;
  while (n >= 64) {
    x0 = _mm_xor_si128(Fold(x0, k512), load(p));
    x1 = _mm_xor_si128(Fold(x1, k512), load(p + 16));
    x2 = _mm_xor_si128(Fold(x2, k512), load(p + 32));
    x3 = _mm_xor_si128(Fold(x3, k512), load(p + 48));
    p += 64;
    n -= 64;
  }
  x1 = _mm_xor_si128(x1, Fold(x0, k128));
  x2 = _mm_xor_si128(x2, Fold(x1, k128));
  x3 = _mm_xor_si128(x3, Fold(x2, k128));
  while (n >= 16) {
    x3 = _mm_xor_si128(Fold(x3, k128), load(p));
    p += 16;
    n -= 16;
  }
  uint8_t lane[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lane), x3);
  uint32_t r = uint32_t(crc32(0xFFFFFFFFu, lane, 16));
  return uint32_t(crc32(r, p, uInt(n)));
}

}  // namespace
#endif

uint32_t Zip_Crc32(uint32_t crc, const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  if (!p || length == 0) return crc;
#if defined(__x86_64__)
  const FoldConstants& c = Constants();
  if (c.usable && length >= 64) return FoldedCrc(crc, p, length, c);
#endif
  while (length > 0) {
    uInt n = length > 0x40000000u ? 0x40000000u : uInt(length);
    crc = uint32_t(crc32(crc, p, n));
    p += n;
    length -= n;
  }
  return crc;
}

struct ZipArchive {
  int fd;                  // -1 for an archive in memory
  const uint8_t* memory;
  uint64_t fileSize;
  uint32_t entryCount;
  uint32_t commentLength;
  uint64_t bytesBefore;    // how far the whole archive is shifted inside the file
  uint64_t endPos;
  uint32_t dirSize;
  uint32_t dirOffset;
  uint8_t* dir;            // the whole central directory
  // Current entry.
  uint32_t curRel;         // offset of its record inside dir
  uint32_t curIndex;
  uint32_t curRecordSize;
  int curValid;
  ZipFileInfo curInfo;
  ZipMember* current;      // the member of Zip_OpenCurrentFile
  int openMembers;
  int closing;
};

struct ZipMember {
  ZipArchive* zip;
  z_stream stream;
  int inflating;
  uint8_t* buffer;
  uint32_t bufferSize;
  const uint8_t* in;
  uint32_t inAvail;
  uint64_t nextPos;        // file position of the next compressed bytes
  uint32_t compressedLeft;
  uint32_t uncompressedLeft;
  uint32_t size;
  uint32_t crc;
  uint32_t storedCrc;
  uint32_t method;
  int ended;               // the compressed data ended before the stated size
  int error;               // sticky read error
};

// Full-size input buffers of closed members are kept for the next ones.
static uint8_t* g_spareBuffers[4];
static int g_spareCount;
static int g_liveArchives;

static uint8_t* TakeBuffer(uint32_t size) {
  if (size == kInputBufferSize && g_spareCount > 0) return g_spareBuffers[--g_spareCount];
  return static_cast<uint8_t*>(std::malloc(size ? size : 1));
}

static void GiveBuffer(uint8_t* buffer, uint32_t size) {
  if (buffer && size == kInputBufferSize && g_spareCount < 4)
    g_spareBuffers[g_spareCount++] = buffer;
  else
    std::free(buffer);
}

static bool ReadAt(const ZipArchive* z, uint64_t pos, void* out, uint32_t length) {
  if (pos > z->fileSize || length > z->fileSize - pos) return false;
  if (z->memory) {
    std::memcpy(out, z->memory + pos, length);
    return true;
  }
  auto* p = static_cast<uint8_t*>(out);
  while (length > 0) {
    ssize_t n = pread(z->fd, p, length, off_t(pos));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    pos += uint64_t(n);
    length -= uint32_t(n);
  }
  return true;
}

static void FreeArchive(ZipArchive* z) {
  if (z->fd >= 0) close(z->fd);
  std::free(z->dir);
  std::free(z);
  // With no archive left, the kept buffers go too.
  if (--g_liveArchives == 0)
    while (g_spareCount > 0) std::free(g_spareBuffers[--g_spareCount]);
}

// Parses the central record at `rel` inside the directory into `info`; every length is checked
// against the directory's size.
static int ParseCentral(const ZipArchive* z, uint32_t rel, ZipFileInfo* info, uint32_t* recordSize) {
  if (rel > z->dirSize || z->dirSize - rel < kCentralSize) return ZIP_BAD_ZIPFILE;
  const uint8_t* p = z->dir + rel;
  if (!IsSignature(p, 1, 2)) return ZIP_BAD_ZIPFILE;
  ZipFileInfo f{};
  f.versionMadeBy = Get16(p + 4);
  f.versionNeeded = Get16(p + 6);
  f.flags = Get16(p + 8);
  f.method = Get16(p + 10);
  f.dosDate = Get32(p + 12);
  f.crc = Get32(p + 16);
  f.compressedSize = Get32(p + 20);
  f.uncompressedSize = Get32(p + 24);
  f.nameLength = Get16(p + 28);
  f.extraLength = Get16(p + 30);
  f.commentLength = Get16(p + 32);
  f.diskNumberStart = Get16(p + 34);
  f.internalAttributes = Get16(p + 36);
  f.externalAttributes = Get32(p + 38);
  f.localHeaderOffset = Get32(p + 42);
  uint32_t d = f.dosDate;
  f.date.seconds = (d & 31) * 2;
  f.date.minutes = (d >> 5) & 63;
  f.date.hours = (d >> 11) & 31;
  f.date.day = (d >> 16) & 31;
  f.date.month = ((d >> 21) & 15) - 1;
  f.date.year = (d >> 25) + 1980;
  uint32_t total = kCentralSize + f.nameLength + f.extraLength + f.commentLength;
  if (z->dirSize - rel < total) return ZIP_BAD_ZIPFILE;
  *info = f;
  *recordSize = total;
  return ZIP_OK;
}

static int SetCurrent(ZipArchive* z, uint32_t rel, uint32_t index) {
  z->curValid = 0;
  if (index >= z->entryCount) return ZIP_END_OF_LIST;
  int r = ParseCentral(z, rel, &z->curInfo, &z->curRecordSize);
  if (r != ZIP_OK) return r;
  z->curRel = rel;
  z->curIndex = index;
  z->curValid = 1;
  return ZIP_OK;
}

// Why the last open was refused, when it was not plain damage.
static char g_refusal[128];

const char* Zip_RefusalReason() { return g_refusal[0] ? g_refusal : nullptr; }

static const char kZip64Refusal[] = "zip64 records (written for streamed input or past 4 GiB) are not read";

static ZipArchive* OpenSource(int fd, const uint8_t* memory, uint64_t size) {
  g_refusal[0] = 0;
  auto* z = static_cast<ZipArchive*>(std::calloc(1, sizeof(ZipArchive)));
  if (!z) {
    if (fd >= 0) close(fd);
    return nullptr;
  }
  g_liveArchives++;
  z->fd = fd;
  z->memory = memory;
  z->fileSize = size;
  // Find the end record among the last 65,535 bytes, the last one wins.
  uint32_t back = size < kMaxBack ? uint32_t(size) : kMaxBack;
  uint64_t tailStart = size - back;
  uint8_t* tail = static_cast<uint8_t*>(std::malloc(back ? back : 1));
  int64_t found = -1;
  if (tail && back >= kEndSize && ReadAt(z, tailStart, tail, back)) {
    for (int64_t i = int64_t(back) - int64_t(kEndSize); i >= 0; i--) {
      if (IsSignature(tail + i, 5, 6)) {
        found = i;
        break;
      }
    }
  }
  if (found < 0 || tailStart + uint64_t(found) == 0) {
    std::free(tail);
    FreeArchive(z);
    return nullptr;
  }
  const uint8_t* e = tail + found;
  uint32_t disk = Get16(e + 4), dirDisk = Get16(e + 6);
  uint32_t entriesHere = Get16(e + 8), entriesTotal = Get16(e + 10);
  z->dirSize = Get32(e + 12);
  z->dirOffset = Get32(e + 16);
  z->commentLength = Get16(e + 20);
  z->entryCount = entriesTotal;
  z->endPos = tailStart + uint64_t(found);
  std::free(tail);
  // A zip64 archive (its end locator sits just before the end record) keeps its real directory
  // in records this reader does not read: refused whole, rather than read through offsets that
  // may be placeholders.
  uint8_t locator[4];
  if (z->endPos >= 20 && ReadAt(z, z->endPos - 20, locator, 4) && IsSignature(locator, 6, 7)) {
    std::snprintf(g_refusal, sizeof g_refusal, "%s", kZip64Refusal);
    FreeArchive(z);
    return nullptr;
  }
  uint64_t dirEnd = uint64_t(z->dirOffset) + z->dirSize;
  if (disk != 0 || dirDisk != 0 || entriesHere != entriesTotal || z->endPos < dirEnd) {
    FreeArchive(z);
    return nullptr;
  }
  z->bytesBefore = z->endPos - dirEnd;
  // The whole central directory is read once; every record is parsed from memory.
  z->dir = static_cast<uint8_t*>(std::malloc(z->dirSize ? z->dirSize : 1));
  if (!z->dir || !ReadAt(z, z->dirOffset + z->bytesBefore, z->dir, z->dirSize)) {
    FreeArchive(z);
    return nullptr;
  }
  SetCurrent(z, 0, 0);
  return z;
}

// Why the last Zip_Open had no file to read.
static char g_openFault[160];

const char* Zip_OpenFault() { return g_openFault[0] ? g_openFault : nullptr; }

ZipArchive* Zip_Open(const char* path) {
  g_refusal[0] = 0;
  g_openFault[0] = 0;
  if (!path || !*path) return nullptr;
  // The open does not wait: a named pipe would block it until a writer came.
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    std::snprintf(g_openFault, sizeof g_openFault, "cannot be opened: %s", std::strerror(errno));
    return nullptr;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    std::snprintf(g_openFault, sizeof g_openFault, "is not a regular file");
    close(fd);
    return nullptr;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    std::snprintf(g_openFault, sizeof g_openFault, "cannot be opened: %s", std::strerror(errno));
    close(fd);
    return nullptr;
  }
  return OpenSource(fd, nullptr, uint64_t(st.st_size));
}

ZipArchive* Zip_OpenMemory(const void* data, size_t size) {
  if (!data && size) return nullptr;
  static const uint8_t kNothing = 0;
  return OpenSource(-1, data ? static_cast<const uint8_t*>(data) : &kNothing, size);
}

int Zip_Close(ZipArchive* zip) {
  if (!zip) return ZIP_PARAM_ERROR;
  if (zip->current) Zip_CloseCurrentFile(zip);
  zip->closing = 1;
  if (zip->openMembers == 0) FreeArchive(zip);
  return ZIP_OK;
}

int Zip_GetGlobalInfo(ZipArchive* zip, ZipGlobalInfo* info) {
  if (!zip || !info) return ZIP_PARAM_ERROR;
  info->entryCount = zip->entryCount;
  info->commentLength = zip->commentLength;
  return ZIP_OK;
}

int Zip_GoToFirstFile(ZipArchive* zip) {
  if (!zip) return ZIP_PARAM_ERROR;
  return SetCurrent(zip, 0, 0);
}

int Zip_GoToNextFile(ZipArchive* zip) {
  if (!zip) return ZIP_PARAM_ERROR;
  if (!zip->curValid || zip->curIndex + 1 >= zip->entryCount) return ZIP_END_OF_LIST;
  return SetCurrent(zip, zip->curRel + zip->curRecordSize, zip->curIndex + 1);
}

int Zip_GetCurrentFileInfo(ZipArchive* zip, ZipFileInfo* info, char* name, uint32_t nameSize,
                           void* extra, uint32_t extraSize, char* comment, uint32_t commentSize) {
  if (!zip) return ZIP_PARAM_ERROR;
  if (!zip->curValid) return ZIP_END_OF_LIST;
  const ZipFileInfo& f = zip->curInfo;
  const uint8_t* p = zip->dir + zip->curRel + kCentralSize;
  if (info) *info = f;
  if (name && nameSize > 0) {
    uint32_t n = f.nameLength < nameSize - 1 ? f.nameLength : nameSize - 1;
    std::memcpy(name, p, n);
    name[n] = 0;
  }
  p += f.nameLength;
  if (extra && extraSize > 0) std::memcpy(extra, p, f.extraLength < extraSize ? f.extraLength : extraSize);
  p += f.extraLength;
  if (comment && commentSize > 0) {
    uint32_t n = f.commentLength < commentSize - 1 ? f.commentLength : commentSize - 1;
    std::memcpy(comment, p, n);
    comment[n] = 0;
  }
  return ZIP_OK;
}

int Zip_GetFilePos(ZipArchive* zip, ZipPos* pos) {
  if (!zip || !pos) return ZIP_PARAM_ERROR;
  if (!zip->curValid) return ZIP_END_OF_LIST;
  pos->offset = zip->dirOffset + zip->curRel;
  pos->entry = zip->curIndex;
  return ZIP_OK;
}

int Zip_GoToFilePos(ZipArchive* zip, const ZipPos* pos) {
  if (!zip || !pos) return ZIP_PARAM_ERROR;
  if (pos->offset < zip->dirOffset) {
    zip->curValid = 0;
    return ZIP_BAD_ZIPFILE;
  }
  return SetCurrent(zip, pos->offset - zip->dirOffset, pos->entry);
}

static const char* MethodName(uint32_t method) {
  switch (method) {
    case 9: return "deflate64";
    case 12: return "bzip2";
    case 14: return "LZMA";
    case 93: return "Zstandard";
    case 95: return "xz";
    default: return "an unknown method";
  }
}

static int OpenMemberAt(ZipArchive* z, const ZipFileInfo& f, ZipMember** out) {
  *out = nullptr;
  g_refusal[0] = 0;
  if (f.flags & 1) {
    std::snprintf(g_refusal, sizeof g_refusal, "encrypted");
    return ZIP_BAD_ZIPFILE;
  }
  if (f.method != 0 && f.method != 8) {
    std::snprintf(g_refusal, sizeof g_refusal, "packed with %s (method %u); only stored and deflated members open",
                  MethodName(f.method), f.method);
    return ZIP_BAD_ZIPFILE;
  }
  if (f.compressedSize == 0xFFFFFFFFu || f.uncompressedSize == 0xFFFFFFFFu || f.localHeaderOffset == 0xFFFFFFFFu) {
    std::snprintf(g_refusal, sizeof g_refusal, "%s", kZip64Refusal);
    return ZIP_BAD_ZIPFILE;
  }
  uint8_t h[kLocalSize];
  uint64_t local = uint64_t(f.localHeaderOffset) + z->bytesBefore;
  if (!ReadAt(z, local, h, kLocalSize)) return ZIP_ERRNO;
  if (!IsSignature(h, 3, 4)) return ZIP_BAD_ZIPFILE;
  uint32_t localFlags = Get16(h + 6);
  if (Get16(h + 8) != f.method) return ZIP_BAD_ZIPFILE;
  if (!(localFlags & 8)) {
    if (Get32(h + 14) != f.crc || Get32(h + 18) != f.compressedSize || Get32(h + 22) != f.uncompressedSize)
      return ZIP_BAD_ZIPFILE;
  }
  if (Get16(h + 26) != f.nameLength) return ZIP_BAD_ZIPFILE;
  uint64_t data = local + kLocalSize + Get16(h + 26) + Get16(h + 28);
  if (data > z->fileSize || f.compressedSize > z->fileSize - data) return ZIP_BAD_ZIPFILE;
  // Stored data has its own size; deflate cannot expand beyond about 1032 to 1.
  if (f.method == 0 && f.compressedSize != f.uncompressedSize) return ZIP_BAD_ZIPFILE;
  if (f.method == 8 && uint64_t(f.uncompressedSize) > uint64_t(f.compressedSize) * 1032 + 1024)
    return ZIP_BAD_ZIPFILE;
  auto* m = static_cast<ZipMember*>(std::calloc(1, sizeof(ZipMember)));
  if (!m) return ZIP_INTERNAL_ERROR;
  m->bufferSize = f.compressedSize < kInputBufferSize ? f.compressedSize : kInputBufferSize;
  m->buffer = TakeBuffer(m->bufferSize);
  if (!m->buffer) {
    std::free(m);
    return ZIP_INTERNAL_ERROR;
  }
  if (f.method == 8) {
    if (inflateInit2(&m->stream, -15) != Z_OK) {
      GiveBuffer(m->buffer, m->bufferSize);
      std::free(m);
      return ZIP_INTERNAL_ERROR;
    }
    m->inflating = 1;
  }
  m->zip = z;
  m->nextPos = data;
  m->compressedLeft = f.compressedSize;
  m->uncompressedLeft = f.uncompressedSize;
  m->size = f.uncompressedSize;
  m->crc = uint32_t(crc32(0, nullptr, 0));
  m->storedCrc = f.crc;
  m->method = f.method;
  z->openMembers++;
  *out = m;
  return ZIP_OK;
}

int Zip_OpenMember(ZipArchive* zip, const ZipPos* pos, ZipMember** member) {
  g_refusal[0] = 0;
  if (!member) return ZIP_PARAM_ERROR;
  *member = nullptr;
  if (!zip || !pos || zip->closing) return ZIP_PARAM_ERROR;
  if (pos->offset < zip->dirOffset || pos->entry >= zip->entryCount) return ZIP_BAD_ZIPFILE;
  ZipFileInfo f;
  uint32_t recordSize;
  int r = ParseCentral(zip, pos->offset - zip->dirOffset, &f, &recordSize);
  if (r != ZIP_OK) return r;
  return OpenMemberAt(zip, f, member);
}

int Zip_ReadMember(ZipMember* m, void* buffer, uint32_t length) {
  if (!m || (!buffer && length)) return ZIP_PARAM_ERROR;
  if (m->error) return m->error;
  if (length > m->uncompressedLeft) length = m->uncompressedLeft;
  if (length == 0 || m->ended) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t produced = 0;
  while (produced < length) {
    if (m->inAvail == 0 && m->compressedLeft > 0) {
      uint32_t want = length - produced;
      if (m->method == 0 && want >= m->bufferSize) {
        // Large stored reads go straight into the caller's buffer.
        uint32_t n = want < m->compressedLeft ? want : m->compressedLeft;
        if (!ReadAt(m->zip, m->nextPos, out + produced, n)) return m->error = ZIP_ERRNO;
        m->crc = Zip_Crc32(m->crc, out + produced, n);
        m->nextPos += n;
        m->compressedLeft -= n;
        produced += n;
        continue;
      }
      uint32_t n = m->compressedLeft < m->bufferSize ? m->compressedLeft : m->bufferSize;
      if (!ReadAt(m->zip, m->nextPos, m->buffer, n)) return m->error = ZIP_ERRNO;
      m->nextPos += n;
      m->compressedLeft -= n;
      m->in = m->buffer;
      m->inAvail = n;
    }
    if (m->method == 0) {
      if (m->inAvail == 0) break;
      uint32_t n = length - produced < m->inAvail ? length - produced : m->inAvail;
      std::memcpy(out + produced, m->in, n);
      m->crc = Zip_Crc32(m->crc, out + produced, n);
      m->in += n;
      m->inAvail -= n;
      produced += n;
      continue;
    }
    // Inflate in pieces that stay in the cache for their CRC.
    uint32_t piece = length - produced < kCrcPiece ? length - produced : kCrcPiece;
    m->stream.next_in = const_cast<Bytef*>(m->in);
    m->stream.avail_in = m->inAvail;
    m->stream.next_out = out + produced;
    m->stream.avail_out = piece;
    int r = inflate(&m->stream, Z_SYNC_FLUSH);
    uint32_t got = piece - m->stream.avail_out;
    m->in = m->stream.next_in;
    m->inAvail = m->stream.avail_in;
    m->crc = Zip_Crc32(m->crc, out + produced, got);
    produced += got;
    if (r == Z_STREAM_END) {
      if (produced < length) m->ended = 1;
      break;
    }
    if (r == Z_BUF_ERROR || (r == Z_OK && got == 0 && m->inAvail == 0 && m->compressedLeft == 0)) {
      m->ended = 1;  // the compressed data ran out
      break;
    }
    if (r != Z_OK) return m->error = (r < 0 ? r : int(Z_DATA_ERROR));
  }
  if (produced < length) m->ended = 1;
  m->uncompressedLeft -= produced;
  if (m->uncompressedLeft == 0 && m->crc != m->storedCrc) return m->error = ZIP_CRC_ERROR;
  return int(produced);
}

int Zip_CloseMember(ZipMember* m) {
  if (!m) return ZIP_PARAM_ERROR;
  int result = ZIP_OK;
  if (m->error)
    result = m->error;
  else if (m->ended && m->uncompressedLeft > 0)
    result = ZIP_BAD_ZIPFILE;
  else if (m->uncompressedLeft == 0 && m->crc != m->storedCrc)
    result = ZIP_CRC_ERROR;
  if (m->inflating) inflateEnd(&m->stream);
  GiveBuffer(m->buffer, m->bufferSize);
  ZipArchive* z = m->zip;
  std::free(m);
  if (z && --z->openMembers == 0 && z->closing) FreeArchive(z);
  return result;
}

uint32_t Zip_MemberSize(const ZipMember* m) { return m ? m->size : 0; }

int Zip_OpenCurrentFile(ZipArchive* zip) {
  if (!zip || !zip->curValid) return ZIP_PARAM_ERROR;
  if (zip->current) Zip_CloseCurrentFile(zip);
  return OpenMemberAt(zip, zip->curInfo, &zip->current);
}

int Zip_ReadCurrentFile(ZipArchive* zip, void* buffer, uint32_t length) {
  if (!zip || !zip->current) return ZIP_PARAM_ERROR;
  return Zip_ReadMember(zip->current, buffer, length);
}

int Zip_CloseCurrentFile(ZipArchive* zip) {
  if (!zip || !zip->current) return ZIP_PARAM_ERROR;
  ZipMember* m = zip->current;
  zip->current = nullptr;
  return Zip_CloseMember(m);
}
