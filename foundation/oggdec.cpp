#include "foundation/oggdec.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <cstring>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"

namespace {

struct OggDecoder {
  SoundDecoder head;
  SoundFormat format;
  uint8_t* data;
  uint32_t size;
  int64_t position;
  double totalTime;
  int loop;
  int link;                // the link being played
  uint64_t sinceLoopStart; // bytes delivered since the start or the last loop
  OggVorbis_File vf;
};

// Shared by every Ogg Vorbis decoder: valid until the next read of any of them.
uint8_t g_pcm[kOggReadBlock];

size_t CbRead(void* buffer, size_t itemSize, size_t itemCount, void* source) {
  auto* o = static_cast<OggDecoder*>(source);
  if (itemSize == 0 || o->position < 0 || o->position >= int64_t(o->size)) return 0;
  size_t left = size_t(int64_t(o->size) - o->position);
  size_t items = left / itemSize;
  if (items > itemCount) items = itemCount;
  std::memcpy(buffer, o->data + o->position, items * itemSize);
  o->position += int64_t(items * itemSize);
  return items;
}

int CbSeek(void* source, ogg_int64_t offset, int whence) {
  auto* o = static_cast<OggDecoder*>(source);
  int64_t to;
  switch (whence) {
    case SEEK_SET: to = offset; break;
    case SEEK_CUR: to = o->position + offset; break;
    case SEEK_END: to = int64_t(o->size) + offset; break;
    default: return -1;
  }
  // Positions outside the data fail.
  if (to < 0 || to > int64_t(o->size)) return -1;
  o->position = to;
  return 0;
}

int CbClose(void*) { return 0; }

long CbTell(void* source) { return long(static_cast<OggDecoder*>(source)->position); }

int OggInfo(SoundDecoder* d, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* e) {
  auto* o = reinterpret_cast<OggDecoder*>(d);
  if (a) *a = uint32_t(o->position);
  if (b) *b = o->size;
  if (c) *c = o->totalTime > 0 ? uint32_t(double(o->size) / o->totalTime) : 0;
  if (e) *e = 1;
  return 1;
}

int OggSeek(SoundDecoder* d, int position) {
  auto* o = reinterpret_cast<OggDecoder*>(d);
  int r = ov_raw_seek(&o->vf, position < 0 ? 0 : position);
  o->sinceLoopStart = 0;
  return r;
}

// The end of the data: a looping sound starts again (nothing delivered at this call), unless the
// whole stream gave nothing since its start.
int OggAtEnd(OggDecoder* o) {
  if (!o->loop || o->sinceLoopStart == 0) return -1;
  ov_raw_seek(&o->vf, 0);
  o->sinceLoopStart = 0;
  // A chained file is not left at its first link by the open: start there explicitly.
  if (ov_streams(&o->vf) > 1) ov_raw_seek(&o->vf, 0);
  o->link = 0;
  return 0;
}

int OggRead(SoundDecoder* d, const uint8_t** out, int maximum) {
  auto* o = reinterpret_cast<OggDecoder*>(d);
  if (maximum < kOggReadBlock) return 0;
  if (out) *out = g_pcm;
  int link = 0;
  long n = ov_read(&o->vf, reinterpret_cast<char*>(g_pcm), kOggReadBlock, 0, 2, 1, &link);
  if (n == OV_HOLE || n == OV_EBADLINK) return -1;
  if (n < 0) return int(n);
  if (n == 0) return OggAtEnd(o);
  if (link != o->link) {
    // A chained file: the next link plays on only when its format is the same.
    vorbis_info* vi = ov_info(&o->vf, link);
    if (!vi || vi->channels != o->format.channels || uint32_t(vi->rate) != o->format.samplesPerSec)
      return OggAtEnd(o);
    o->link = link;
  }
  // Whole sample frames only.
  n -= n % o->format.blockAlign;
  o->sinceLoopStart += uint64_t(n);
  return int(n);
}

void OggFree(SoundDecoder** pd) {
  if (!pd || !*pd) return;
  auto* o = reinterpret_cast<OggDecoder*>(*pd);
  ov_clear(&o->vf);
  Global_Free(o->data);
  Global_Free(o);
  *pd = nullptr;
}

}  // namespace

SoundDecoder* OGG_OpenMemory(const char* name, uint8_t* block, uint32_t size, int loop) {
  if (!name || std::strlen(name) >= size_t(kSoundNameSize)) {
    Global_Free(block);
    return nullptr;
  }
  auto* o = static_cast<OggDecoder*>(Global_MallocZero(sizeof(OggDecoder), "OGGLoad"));
  if (!o) {
    Global_Free(block);
    return nullptr;
  }
  o->data = block;
  o->size = block ? size : 0;
  o->position = 0;
  const ov_callbacks callbacks = {CbRead, CbSeek, CbClose, CbTell};
  if (ov_open_callbacks(o, &o->vf, nullptr, 0, callbacks) != 0) {
    Global_Free(o->data);
    Global_Free(o);
    return nullptr;
  }
  vorbis_info* vi = ov_info(&o->vf, -1);
  if (!vi || vi->channels < 1 || vi->channels > 2 || vi->rate < 1 || vi->rate > 384000) {
    ov_clear(&o->vf);
    Global_Free(o->data);
    Global_Free(o);
    return nullptr;
  }
  o->loop = loop;
  double t = ov_time_total(&o->vf, -1);
  o->totalTime = t > 0 ? t : 0;
  // A chained file is not left at its first link by the open: start there explicitly.
  if (ov_streams(&o->vf) > 1) ov_raw_seek(&o->vf, 0);
  o->link = 0;
  o->format = Sound_PcmFormat(vi->channels, uint32_t(vi->rate), 16);
  std::strcpy(o->head.name, name);
  o->head.format = &o->format;
  o->head.formatSize = kSoundFormatSize;
  o->head.data = nullptr;
  o->head.dataSize = 0;
  o->head.info = OggInfo;
  o->head.seek = OggSeek;
  o->head.read = OggRead;
  o->head.free = OggFree;
  return &o->head;
}

SoundDecoder* OGGLoad(const char* name, int loop) {
  if (!name || !*name) return nullptr;
  size_t len = std::strlen(name);
  if (len + 4 >= size_t(kSoundNameSize)) return nullptr;
  char fileName[kSoundNameSize];
  std::memcpy(fileName, name, len);
  std::memcpy(fileName + len, ".ogg", 5);
  FileHandle* f = File_Open(fileName, "rb");
  if (!f) return nullptr;
  uint32_t size = File_Size(f);
  if (!File_WholeSizeAllowed("OGGLoad", fileName, size)) {
    File_Close(f);
    return nullptr;
  }
  auto* block = size ? static_cast<uint8_t*>(Global_Malloc(size, "OGGDATA")) : nullptr;
  if (!block) {
    File_Close(f);
    return nullptr;
  }
  size_t got = File_Read(block, 1, size, f);
  File_Close(f);
  return OGG_OpenMemory(name, block, uint32_t(got), loop);
}

SoundDecoder* Sound_OpenOgg(const char* name, int loop) { return OGGLoad(name, loop); }
