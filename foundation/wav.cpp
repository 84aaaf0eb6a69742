#include "foundation/wav.h"

#include <cstring>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"

namespace {

constexpr uint32_t kMaxFormatSize = 256;

struct StreamWav {
  SoundStream head;
  uint8_t* block;  // the whole file
  uint32_t position;
};

struct WavDecoder {
  SoundDecoder head;
  SoundStream* stream;
};

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

// Copies a name into a fixed field; 0 when it does not fit.
bool CopyName(char* dst, const char* a, const char* b) {
  size_t la = std::strlen(a), lb = b ? std::strlen(b) : 0;
  if (la + lb >= size_t(kSoundNameSize)) return false;
  std::memcpy(dst, a, la);
  if (lb) std::memcpy(dst + la, b, lb);
  dst[la + lb] = 0;
  return true;
}

int StreamInfo(SoundStream*) { return 0; }
int StreamSpare(SoundStream*) { return 0; }

}  // namespace

const char* Wav_Parse(const uint8_t* p, size_t size, WavInfo* out) {
  *out = WavInfo{};
  if (!p || size < 12) return "file too short";
  if (std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) return "not a RIFF WAVE file";
  size_t at = 12;
  if (size - at < 8) return "no format chunk";
  if (std::memcmp(p + at, "fmt ", 4) != 0) return "the format chunk does not follow WAVE";
  uint32_t fmtSize = U32(p + at + 4);
  at += 8;
  if (fmtSize < 16 || fmtSize > kMaxFormatSize) return "bad format size";
  if (size - at < fmtSize) return "format chunk cut short";
  SoundFormat& f = out->format;
  f.formatTag = U16(p + at);
  f.channels = U16(p + at + 2);
  f.samplesPerSec = U32(p + at + 4);
  f.avgBytesPerSec = U32(p + at + 8);
  f.blockAlign = U16(p + at + 12);
  f.bitsPerSample = U16(p + at + 14);
  f.extraSize = 0;
  if (f.formatTag != 1) return "not PCM";
  if (f.channels < 1 || f.channels > 2) return "bad channel count";
  if (f.bitsPerSample != 8 && f.bitsPerSample != 16) return "bad sample size";
  if (f.samplesPerSec < 1 || f.samplesPerSec > 384000) return "bad sample rate";
  if (f.blockAlign != f.channels * (f.bitsPerSample / 8)) return "bad block align";
  f.avgBytesPerSec = f.samplesPerSec * f.blockAlign;
  at += fmtSize;
  if (size - at < 8) return "no data chunk";
  if (std::memcmp(p + at, "data", 4) != 0) return "the data chunk does not follow the format";
  uint32_t declared = U32(p + at + 4);
  at += 8;
  size_t present = size - at;
  uint32_t dataSize = declared < present ? declared : uint32_t(present);
  dataSize -= dataSize % f.blockAlign;
  out->dataOffset = uint32_t(at);
  out->dataSize = dataSize;
  out->declaredSize = declared;
  return nullptr;
}

// ---- the stream ----

int Stream_Tell(SoundStream* s) {
  if (!s) return 0;
  return int(reinterpret_cast<StreamWav*>(s)->position);
}

SoundStream* Stream_Seek(SoundStream* s, int position) {
  if (!s) return s;
  // Kept within the data.
  if (position < 0) position = 0;
  if (uint32_t(position) > s->dataSize) position = int(s->dataSize);
  reinterpret_cast<StreamWav*>(s)->position = uint32_t(position);
  return s;
}

int Stream_Read(SoundStream* s, const uint8_t** out, int maximum) {
  if (!s || maximum <= 0) return 0;
  auto* w = reinterpret_cast<StreamWav*>(s);
  if (w->position >= s->dataSize) return 0;
  uint32_t left = s->dataSize - w->position;
  uint32_t count = uint32_t(maximum) < left ? uint32_t(maximum) : left;
  if (out) *out = s->data + w->position;
  w->position += count;
  return int(count);
}

void Stream_Free(SoundStream** ps) {
  if (!ps || !*ps) return;
  auto* w = reinterpret_cast<StreamWav*>(*ps);
  Log_Printf("Stream_Free: %s\n", w->head.name);
  Global_Free(w->block);
  Global_Free(w->head.format);
  Global_Free(w);
  *ps = nullptr;
}

SoundStream* Stream_FromMemory(const char* name, uint8_t* block, uint32_t size) {
  WavInfo info;
  const char* why = Wav_Parse(block, size, &info);
  if (why) {
    Log_Printf("Stream_Load: %s: %s\n", name, why);
    Global_Free(block);
    return nullptr;
  }
  auto* w = static_cast<StreamWav*>(Global_MallocZero(sizeof(StreamWav), "strmwav"));
  auto* format = static_cast<SoundFormat*>(Global_MallocZero(sizeof(SoundFormat), "strmwaf"));
  if (!w || !format || !CopyName(w->head.name, name, nullptr)) {
    Global_Free(w);
    Global_Free(format);
    Global_Free(block);
    return nullptr;
  }
  if (info.declaredSize > info.dataSize + info.format.blockAlign)
    Log_Printf("Stream_Load: %s: data cut to %u bytes\n", name, info.dataSize);
  *format = info.format;
  w->block = block;
  w->position = 0;
  w->head.format = format;
  w->head.formatSize = kSoundFormatSize;
  w->head.data = block + info.dataOffset;
  w->head.dataSize = info.dataSize;
  w->head.tell = Stream_Tell;
  w->head.seek = Stream_Seek;
  w->head.info = StreamInfo;
  w->head.read = Stream_Read;
  w->head.spare = StreamSpare;
  w->head.free = Stream_Free;
  return &w->head;
}

SoundStream* Stream_Load(const char* name, int kind) {
  if (kind != 1 || !name || !*name) return nullptr;
  char fileName[kSoundNameSize];
  if (!CopyName(fileName, name, ".wav")) {
    Log_Printf("Stream_Load: name too long\n");
    return nullptr;
  }
  FileHandle* f = File_Open(fileName, "rb");
  if (!f) return nullptr;
  uint32_t size = File_Size(f);
  if (!File_WholeSizeAllowed("Stream_Load", fileName, size)) {
    File_Close(f);
    return nullptr;
  }
  auto* block = size ? static_cast<uint8_t*>(Global_Malloc(size, "strmwad")) : nullptr;
  if (!block) {
    File_Close(f);
    if (size) Log_Printf("Stream_Load: %s: no memory for %u bytes\n", fileName, size);
    return nullptr;
  }
  size_t got = File_Read(block, 1, size, f);
  File_Close(f);
  SoundStream* s = Stream_FromMemory(fileName, block, uint32_t(got));
  if (s) Log_Printf("Stream_Load: %s\n", fileName);
  return s;
}

// ---- the decoder ----

static int WavInfoSlot(SoundDecoder* d, uint32_t*, uint32_t*, uint32_t*, uint32_t*) {
  SoundStream* s = reinterpret_cast<WavDecoder*>(d)->stream;
  return s ? s->info(s) : 0;
}

static int WavSeek(SoundDecoder* d, int position) {
  Sound_StreamSeek(reinterpret_cast<WavDecoder*>(d)->stream, position);
  return 0;
}

static int WavRead(SoundDecoder* d, const uint8_t** out, int maximum) {
  int n = Sound_StreamReadLoop(reinterpret_cast<WavDecoder*>(d)->stream, out, maximum);
  return n == 0 ? -1 : n;
}

static void WavFree(SoundDecoder** pd) {
  if (!pd || !*pd) return;
  auto* w = reinterpret_cast<WavDecoder*>(*pd);
  Sound_StreamFree(&w->stream);
  Global_Free(w);
  *pd = nullptr;
}

SoundDecoder* WAVLoad(const char* name, int loop) {
  if (!name || !*name || std::strlen(name) >= size_t(kSoundNameSize)) return nullptr;
  SoundStream* s = Sound_OpenStream(name, loop, 1);
  if (!s) return nullptr;
  auto* w = static_cast<WavDecoder*>(Global_MallocZero(sizeof(WavDecoder), "WAVLoad"));
  if (!w) {
    Sound_StreamFree(&s);
    return nullptr;
  }
  Sound_StreamSeek(s, 0);
  w->stream = s;
  w->head.format = s->format;
  w->head.formatSize = s->formatSize;
  w->head.data = s->data;
  w->head.dataSize = s->dataSize;
  CopyName(w->head.name, name, nullptr);
  w->head.info = WavInfoSlot;
  w->head.seek = WavSeek;
  w->head.read = WavRead;
  w->head.free = WavFree;
  return &w->head;
}

SoundDecoder* Sound_OpenWav(const char* name, int loop) { return WAVLoad(name, loop); }
