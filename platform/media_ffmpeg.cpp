// FFmpeg behind the media layer: libavformat over our own memory I/O, libavcodec, libswscale to
// bottom-up BGRA, libswresample to 16-bit PCM, and the encoders with a muxer for writing.
#include "platform/media_ffmpeg.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "foundation/log.h"

// ---------------------------------------------------------------------------------------------
// Memory stream

void MediaStream_Init(MediaMemStream* s, const uint8_t* data, uint32_t size) {
  s->data = data;
  s->size = data ? size : 0;
  s->position = 0;
}

uint32_t MediaStream_Read(MediaMemStream* s, void* buffer, uint32_t count) {
  if (!s || !buffer || s->position >= s->size) return 0;
  uint32_t n = s->size - s->position;
  if (count < n) n = count;
  std::memcpy(buffer, s->data + s->position, n);
  s->position += n;
  return n;
}

int MediaStream_Seek(MediaMemStream* s, int64_t move, int origin, uint32_t* newPosition) {
  int64_t base;
  switch (origin) {
    case 0: base = 0; break;
    case 1: base = s->position; break;
    case 2: base = s->size; break;
    default: return 0;
  }
  int64_t p = (move > INT64_MAX - base) ? INT64_MAX : base + move;
  if (p < 0) p = 0;
  if (p > int64_t(s->size)) p = s->size;
  s->position = uint32_t(p);
  if (newPosition) *newPosition = s->position;
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Demuxer over a memory stream

static void QuietLogs() {
  static bool done = false;
  if (!done) {
    av_log_set_level(AV_LOG_QUIET);
    done = true;
  }
}

static int IoRead(void* opaque, uint8_t* buf, int size) {
  auto* s = static_cast<MediaMemStream*>(opaque);
  if (size <= 0) return 0;
  uint32_t n = MediaStream_Read(s, buf, uint32_t(size));
  return n ? int(n) : AVERROR_EOF;
}

static int64_t IoSeek(void* opaque, int64_t offset, int whence) {
  auto* s = static_cast<MediaMemStream*>(opaque);
  if (whence & AVSEEK_SIZE) return s->size;
  int origin = whence & ~AVSEEK_FORCE;
  if (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END) return AVERROR(EINVAL);
  uint32_t pos = 0;
  MediaStream_Seek(s, offset, origin == SEEK_SET ? 0 : origin == SEEK_CUR ? 1 : 2, &pos);
  return pos;
}

struct Demux {
  MediaMemStream stream{};
  AVIOContext* io = nullptr;
  AVFormatContext* fmt = nullptr;
};

static void Demux_Close(Demux* d) {
  if (d->fmt) avformat_close_input(&d->fmt);
  if (d->io) {
    av_freep(&d->io->buffer);
    avio_context_free(&d->io);
  }
}

static bool Demux_Open(Demux* d, const uint8_t* data, uint32_t size) {
  QuietLogs();
  if (!data || size == 0) return false;
  MediaStream_Init(&d->stream, data, size);
  constexpr int kIoBuffer = 32768;
  auto* buf = static_cast<uint8_t*>(av_malloc(kIoBuffer));
  if (!buf) return false;
  d->io = avio_alloc_context(buf, kIoBuffer, 0, &d->stream, IoRead, nullptr, IoSeek);
  if (!d->io) {
    av_free(buf);
    return false;
  }
  d->fmt = avformat_alloc_context();
  if (!d->fmt) {
    Demux_Close(d);
    return false;
  }
  d->fmt->pb = d->io;
  d->fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
  d->fmt->probesize = 1 << 20;
  d->fmt->max_analyze_duration = 5 * AV_TIME_BASE;
  if (avformat_open_input(&d->fmt, nullptr, nullptr, nullptr) < 0) {
    d->fmt = nullptr;  // freed by avformat_open_input on failure
    Demux_Close(d);
    return false;
  }
  if (avformat_find_stream_info(d->fmt, nullptr) < 0) {
    Demux_Close(d);
    return false;
  }
  return true;
}

static AVCodecContext* OpenDecoder(AVStream* st) {
  const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
  if (!codec) return nullptr;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) return nullptr;
  ctx->thread_count = 1;
  if (avcodec_parameters_to_context(ctx, st->codecpar) < 0 || avcodec_open2(ctx, codec, nullptr) < 0) {
    avcodec_free_context(&ctx);
    return nullptr;
  }
  return ctx;
}

// ---------------------------------------------------------------------------------------------
// Video

struct MediaVideo {
  Demux dx;
  int streamIndex = -1;
  AVStream* st = nullptr;
  AVCodecContext* dec = nullptr;
  AVPacket* pkt = nullptr;
  AVFrame* frame = nullptr;
  SwsContext* sws = nullptr;
  std::vector<uint8_t> rows;  // converted picture with padded rows (the scaler writes past a row end)
  AVRational rate{24, 1};  // frames per second
  int64_t startPts = 0;
  MediaVideoInfo info{};
  bool draining = false;
  bool haveFrame = false;
  int64_t lastFrame = -1;  // frame number of the last decoded picture
};

static void Video_Free(MediaVideo* v) {
  if (v->sws) sws_freeContext(v->sws);
  av_frame_free(&v->frame);
  av_packet_free(&v->pkt);
  avcodec_free_context(&v->dec);
  Demux_Close(&v->dx);
  delete v;
}

static int FitDimension(int size, int limit) { return (limit > 0 && size > limit) ? limit : size; }

MediaVideo* MediaVideo_Open(const uint8_t* data, uint32_t size, int maxWidth, int maxHeight) {
  auto* v = new MediaVideo;
  if (!Demux_Open(&v->dx, data, size)) {
    delete v;
    return nullptr;
  }
  v->streamIndex = av_find_best_stream(v->dx.fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (v->streamIndex < 0) {
    Video_Free(v);
    return nullptr;
  }
  v->st = v->dx.fmt->streams[v->streamIndex];
  for (unsigned i = 0; i < v->dx.fmt->nb_streams; i++)
    if (int(i) != v->streamIndex) v->dx.fmt->streams[i]->discard = AVDISCARD_ALL;
  int w = v->st->codecpar->width, h = v->st->codecpar->height;
  if (w <= 0 || h <= 0 || w > kMediaMaxDimension || h > kMediaMaxDimension) {
    Video_Free(v);
    return nullptr;
  }
  v->dec = OpenDecoder(v->st);
  v->pkt = av_packet_alloc();
  v->frame = av_frame_alloc();
  if (!v->dec || !v->pkt || !v->frame) {
    Video_Free(v);
    return nullptr;
  }
  // Frame rate: the stream's average, else its base rate, else 24; never zero or absurd.
  AVRational r = v->st->avg_frame_rate;
  if (r.num <= 0 || r.den <= 0) r = v->st->r_frame_rate;
  double fr = (r.num > 0 && r.den > 0) ? av_q2d(r) : 0.0;
  if (!(fr >= 0.5 && fr <= 1000.0)) r = AVRational{24, 1};
  v->rate = r;
  v->startPts = (v->st->start_time != AV_NOPTS_VALUE) ? v->st->start_time : 0;
  v->info.srcWidth = w;
  v->info.srcHeight = h;
  v->info.width = FitDimension(w, maxWidth);
  v->info.height = FitDimension(h, maxHeight);
  v->info.frameRate = av_q2d(r);
  int64_t count = v->st->nb_frames;
  if (count <= 0) {
    double seconds = 0;
    if (v->st->duration > 0 && v->st->duration != AV_NOPTS_VALUE)
      seconds = double(v->st->duration) * av_q2d(v->st->time_base);
    else if (v->dx.fmt->duration > 0)
      seconds = double(v->dx.fmt->duration) / AV_TIME_BASE;
    count = (seconds > 0 && seconds < 1e7) ? int64_t(std::llround(seconds * v->info.frameRate)) : 0;
  }
  v->info.frameCount = count > 0 ? count : 0;
  return v;
}

void MediaVideo_GetInfo(const MediaVideo* v, MediaVideoInfo* info) {
  if (v && info) *info = v->info;
}

static int64_t FrameToPts(const MediaVideo* v, int64_t frame) {
  return v->startPts + av_rescale_q(frame, av_inv_q(v->rate), v->st->time_base);
}

static int64_t PtsToFrame(const MediaVideo* v, int64_t pts) {
  AVRational frameBase = av_inv_q(v->rate);
  return av_rescale_q_rnd(pts - v->startPts, v->st->time_base, frameBase,
                          AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

// Sends the decoder the next packet of its stream; at the end of the file it starts draining.
// A damaged packet is skipped; the next one may decode.
static void FeedDecoder(AVFormatContext* fmt, AVPacket* pkt, AVCodecContext* dec, int streamIndex, bool* draining) {
  for (;;) {
    int r = av_read_frame(fmt, pkt);
    if (r < 0) {
      *draining = true;
      avcodec_send_packet(dec, nullptr);
      return;
    }
    if (pkt->stream_index != streamIndex) {
      av_packet_unref(pkt);
      continue;
    }
    r = avcodec_send_packet(dec, pkt);
    av_packet_unref(pkt);
    if (r == 0 || r == AVERROR(EAGAIN)) return;
  }
}

int MediaVideo_DecodeNext(MediaVideo* v, double* time, int64_t* frame) {
  if (!v) return -1;
  // Bounded: every pass either returns or consumes a packet of the finite input.
  for (int guard = 0; guard < 1000000; guard++) {
    int r = avcodec_receive_frame(v->dec, v->frame);
    if (r == 0) {
      int64_t pts = v->frame->best_effort_timestamp;
      int64_t n = (pts == AV_NOPTS_VALUE) ? v->lastFrame + 1 : PtsToFrame(v, pts);
      if (n < 0) n = 0;
      v->lastFrame = n;
      v->haveFrame = true;
      if (time) *time = double(n) / v->info.frameRate;
      if (frame) *frame = n;
      return 1;
    }
    if (r == AVERROR_EOF) return 0;
    if (r != AVERROR(EAGAIN)) return -1;
    if (v->draining) return 0;
    FeedDecoder(v->dx.fmt, v->pkt, v->dec, v->streamIndex, &v->draining);
  }
  return -1;
}

static int SeekTo(MediaVideo* v, int64_t pts) {
  int r = av_seek_frame(v->dx.fmt, v->streamIndex, pts, AVSEEK_FLAG_BACKWARD);
  if (r < 0) r = avformat_seek_file(v->dx.fmt, v->streamIndex, INT64_MIN, pts, pts, 0);
  if (r < 0 && pts <= v->startPts) {
    // No index to seek with: read again from the first byte.
    r = av_seek_frame(v->dx.fmt, v->streamIndex, 0, AVSEEK_FLAG_BYTE);
  }
  avcodec_flush_buffers(v->dec);
  v->draining = false;
  v->lastFrame = -1;
  return r >= 0;
}

int MediaVideo_Rewind(MediaVideo* v) {
  if (!v) return 0;
  v->haveFrame = false;
  return SeekTo(v, v->startPts);
}

int MediaVideo_DecodeFrame(MediaVideo* v, int64_t frame) {
  if (!v || frame < 0 || (v->info.frameCount > 0 && frame >= v->info.frameCount)) return 0;
  if (v->haveFrame && v->lastFrame == frame) return 1;
  bool seek = !v->haveFrame || frame < v->lastFrame;
  if (!seek && frame > v->lastFrame + 1) {
    // Far ahead: jump when a key frame lies between.
    int64_t key = MediaVideo_FindKeyFrame(v, frame);
    seek = key > v->lastFrame;
  }
  if (seek && (v->haveFrame || v->lastFrame >= 0 || frame > 0)) SeekTo(v, FrameToPts(v, frame));
  for (int guard = 0; guard < 100000; guard++) {
    int64_t n = 0;
    int r = MediaVideo_DecodeNext(v, nullptr, &n);
    if (r <= 0) return 0;
    if (n >= frame) return 1;
  }
  return 0;
}

int64_t MediaVideo_FindKeyFrame(MediaVideo* v, int64_t frame) {
  if (!v || frame <= 0) return 0;
  int64_t pts = FrameToPts(v, frame);
  int count = avformat_index_get_entries_count(v->st);
  int64_t best = -1;
  for (int i = 0; i < count; i++) {
    const AVIndexEntry* e = avformat_index_get_entry(v->st, i);
    if (!e || !(e->flags & AVINDEX_KEYFRAME) || e->timestamp > pts) continue;
    if (e->timestamp > best) best = e->timestamp;
  }
  if (best < 0) return 0;
  int64_t n = PtsToFrame(v, best);
  return n < 0 ? 0 : n;
}

int MediaVideo_ConvertLast(MediaVideo* v, uint8_t* out) {
  if (!v || !out || !v->haveFrame) return 0;
  AVFrame* f = v->frame;
  if (f->width <= 0 || f->height <= 0 || f->width > kMediaMaxDimension || f->height > kMediaMaxDimension)
    return 0;
  v->sws = sws_getCachedContext(v->sws, f->width, f->height, AVPixelFormat(f->format), v->info.width,
                                v->info.height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!v->sws) return 0;
  const size_t stride = size_t(v->info.width) * 4;
  const size_t padded = (stride + 63) / 64 * 64 + 64;
  v->rows.resize(padded * size_t(v->info.height + 1));
  uint8_t* dst[4] = {v->rows.data(), nullptr, nullptr, nullptr};
  int dstStride[4] = {int(padded), 0, 0, 0};
  if (sws_scale(v->sws, f->data, f->linesize, 0, f->height, dst, dstStride) != v->info.height) return 0;
  // Bottom row first.
  for (int y = 0; y < v->info.height; y++)
    std::memcpy(out + stride * size_t(v->info.height - 1 - y), v->rows.data() + padded * size_t(y), stride);
  return 1;
}

void MediaVideo_Close(MediaVideo* v) {
  if (v) Video_Free(v);
}

int64_t Media_DumpStream(const uint8_t* data, uint32_t size, int kind, size_t blockSize, MediaWriteFn write,
                         void* user) {
  if (!write || blockSize == 0 || (kind != 1 && kind != 2)) return -1;
  Demux dx;
  if (!Demux_Open(&dx, data, size)) return -1;
  int index = av_find_best_stream(dx.fmt, kind == 1 ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO, -1, -1,
                                  nullptr, 0);
  int64_t total = index < 0 ? -1 : 0;
  AVPacket* pkt = index < 0 ? nullptr : av_packet_alloc();
  while (pkt && av_read_frame(dx.fmt, pkt) >= 0) {
    if (pkt->stream_index == index) {
      for (size_t done = 0; done < size_t(pkt->size);) {
        size_t n = size_t(pkt->size) - done;
        if (n > blockSize) n = blockSize;
        if (!write(pkt->data + done, n, user)) {
          total = -1;
          break;
        }
        done += n;
        total += int64_t(n);
      }
    }
    av_packet_unref(pkt);
    if (total < 0) break;
  }
  av_packet_free(&pkt);
  Demux_Close(&dx);
  return total;
}

// ---------------------------------------------------------------------------------------------
// Sound

struct MediaAudio {
  Demux dx;
  int streamIndex = -1;
  AVStream* st = nullptr;
  AVCodecContext* dec = nullptr;
  AVPacket* pkt = nullptr;
  AVFrame* frame = nullptr;
  SwrContext* swr = nullptr;
  MediaAudioInfo info{};
  std::vector<uint8_t> pending;  // converted bytes not yet delivered
  size_t pendingAt = 0;
  bool draining = false;
  bool ended = false;
};

static void Audio_Free(MediaAudio* a) {
  swr_free(&a->swr);
  av_frame_free(&a->frame);
  av_packet_free(&a->pkt);
  avcodec_free_context(&a->dec);
  Demux_Close(&a->dx);
  delete a;
}

MediaAudio* MediaAudio_Open(const uint8_t* data, uint32_t size) {
  auto* a = new MediaAudio;
  if (!Demux_Open(&a->dx, data, size)) {
    delete a;
    return nullptr;
  }
  a->streamIndex = av_find_best_stream(a->dx.fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (a->streamIndex < 0) {
    Audio_Free(a);
    return nullptr;
  }
  a->st = a->dx.fmt->streams[a->streamIndex];
  for (unsigned i = 0; i < a->dx.fmt->nb_streams; i++)
    if (int(i) != a->streamIndex) a->dx.fmt->streams[i]->discard = AVDISCARD_ALL;
  a->dec = OpenDecoder(a->st);
  a->pkt = av_packet_alloc();
  a->frame = av_frame_alloc();
  if (!a->dec || !a->pkt || !a->frame) {
    Audio_Free(a);
    return nullptr;
  }
  int rate = a->dec->sample_rate, channels = a->dec->ch_layout.nb_channels;
  if (rate <= 0 || rate > 384000 || channels <= 0 || a->dec->sample_fmt == AV_SAMPLE_FMT_NONE) {
    Audio_Free(a);
    return nullptr;
  }
  a->info.rate = rate;
  a->info.channels = channels >= 2 ? 2 : 1;
  a->info.bits = 16;
  AVChannelLayout outLayout;
  av_channel_layout_default(&outLayout, a->info.channels);
  int r = swr_alloc_set_opts2(&a->swr, &outLayout, AV_SAMPLE_FMT_S16, rate, &a->dec->ch_layout,
                              a->dec->sample_fmt, rate, 0, nullptr);
  av_channel_layout_uninit(&outLayout);
  if (r < 0 || swr_init(a->swr) < 0) {
    Audio_Free(a);
    return nullptr;
  }
  return a;
}

void MediaAudio_GetInfo(const MediaAudio* a, MediaAudioInfo* info) {
  if (a && info) *info = a->info;
}

// Decodes and converts the next packet's samples into `pending`: 1 when bytes were added, 0 at
// the end, -1 on an error.
static int Audio_Refill(MediaAudio* a) {
  int frameBytes = a->info.channels * 2;
  for (int guard = 0; guard < 1000000; guard++) {
    int r = avcodec_receive_frame(a->dec, a->frame);
    if (r == 0) {
      int room = swr_get_out_samples(a->swr, a->frame->nb_samples);
      if (room <= 0) continue;
      a->pending.resize(size_t(room) * frameBytes);
      uint8_t* outp[1] = {a->pending.data()};
      int got = swr_convert(a->swr, outp, room, const_cast<const uint8_t**>(a->frame->extended_data),
                            a->frame->nb_samples);
      av_frame_unref(a->frame);
      if (got < 0) return -1;
      a->pending.resize(size_t(got) * frameBytes);
      a->pendingAt = 0;
      if (got > 0) return 1;
      continue;
    }
    if (r == AVERROR_EOF || (r == AVERROR(EAGAIN) && a->draining)) {
      // Whatever the converter still holds.
      int room = swr_get_out_samples(a->swr, 0);
      if (room > 0) {
        a->pending.resize(size_t(room) * frameBytes);
        uint8_t* outp[1] = {a->pending.data()};
        int got = swr_convert(a->swr, outp, room, nullptr, 0);
        a->pending.resize(got > 0 ? size_t(got) * frameBytes : 0);
        a->pendingAt = 0;
        if (got > 0) return 1;
      }
      return 0;
    }
    if (r != AVERROR(EAGAIN)) return -1;
    FeedDecoder(a->dx.fmt, a->pkt, a->dec, a->streamIndex, &a->draining);
  }
  return -1;
}

int64_t MediaAudio_Read(MediaAudio* a, uint8_t* out, size_t wanted) {
  if (!a || !out) return -1;
  size_t frameBytes = size_t(a->info.channels) * 2;
  wanted -= wanted % frameBytes;
  size_t done = 0;
  while (done < wanted) {
    if (a->pendingAt >= a->pending.size()) {
      if (a->ended) break;
      int r = Audio_Refill(a);
      if (r < 0) return done ? int64_t(done) : -1;
      if (r == 0) {
        a->ended = true;
        break;
      }
    }
    size_t n = a->pending.size() - a->pendingAt;
    if (n > wanted - done) n = wanted - done;
    std::memcpy(out + done, a->pending.data() + a->pendingAt, n);
    a->pendingAt += n;
    done += n;
  }
  return int64_t(done);
}

int MediaAudio_Rewind(MediaAudio* a) {
  if (!a) return 0;
  int r = av_seek_frame(a->dx.fmt, a->streamIndex, a->st->start_time != AV_NOPTS_VALUE ? a->st->start_time : 0,
                        AVSEEK_FLAG_BACKWARD);
  if (r < 0) r = av_seek_frame(a->dx.fmt, a->streamIndex, 0, AVSEEK_FLAG_BYTE);
  avcodec_flush_buffers(a->dec);
  // Drop what the converter holds from before.
  swr_close(a->swr);
  swr_init(a->swr);
  a->pending.clear();
  a->pendingAt = 0;
  a->draining = false;
  a->ended = false;
  return r >= 0;
}

void MediaAudio_Close(MediaAudio* a) {
  if (a) Audio_Free(a);
}

// ---------------------------------------------------------------------------------------------
// Encoding

struct MediaEncoder {
  AVFormatContext* oc = nullptr;
  AVCodecContext* venc = nullptr;
  AVStream* vst = nullptr;
  AVFrame* vframe = nullptr;
  SwsContext* sws = nullptr;
  std::vector<uint8_t> rows;  // the picture top-down with padded rows for the scaler
  int64_t vnext = 0;
  AVCodecContext* aenc = nullptr;
  AVStream* ast = nullptr;
  AVFrame* aframe = nullptr;
  SwrContext* swr = nullptr;
  std::vector<int16_t> afifo;  // interleaved samples waiting for a whole encoder frame
  int64_t anext = 0;
  AVPacket* pkt = nullptr;
  bool headerWritten = false;
  bool failed = false;
  int width = 0, height = 0, channels = 0;
};

static void Enc_Free(MediaEncoder* e) {
  if (e->oc && e->oc->pb) avio_closep(&e->oc->pb);
  if (e->oc) avformat_free_context(e->oc);
  avcodec_free_context(&e->venc);
  avcodec_free_context(&e->aenc);
  av_frame_free(&e->vframe);
  av_frame_free(&e->aframe);
  if (e->sws) sws_freeContext(e->sws);
  swr_free(&e->swr);
  av_packet_free(&e->pkt);
  delete e;
}

// Sends a frame (NULL: flush) and writes every packet the encoder gives back.
static int Enc_Send(MediaEncoder* e, AVCodecContext* ctx, AVStream* st, AVFrame* frame) {
  if (avcodec_send_frame(ctx, frame) < 0) return 0;
  for (;;) {
    int r = avcodec_receive_packet(ctx, e->pkt);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return 1;
    if (r < 0) return 0;
    av_packet_rescale_ts(e->pkt, ctx->time_base, st->time_base);
    e->pkt->stream_index = st->index;
    r = av_interleaved_write_frame(e->oc, e->pkt);
    if (r < 0) return 0;
  }
}

MediaEncoder* MediaEnc_Open(const char* path, const MediaEncodeParams* p) {
  QuietLogs();
  if (!path || !*path || !p || !p->container || (!p->videoCodec && !p->audioCodec)) return nullptr;
  auto* e = new MediaEncoder;
  e->pkt = av_packet_alloc();
  if (!e->pkt || avformat_alloc_output_context2(&e->oc, nullptr, p->container, path) < 0 || !e->oc) {
    Log_Printf("MediaEnc_Open: no muxer %s\n", p->container);
    Enc_Free(e);
    return nullptr;
  }
  if (p->videoCodec) {
    const AVCodec* codec = avcodec_find_encoder_by_name(p->videoCodec);
    if (!codec || p->width <= 0 || p->height <= 0 || p->width > kMediaMaxDimension ||
        p->height > kMediaMaxDimension || p->frameRate <= 0) {
      Log_Printf("MediaEnc_Open: no video encoder %s for %ix%i\n", p->videoCodec, p->width, p->height);
      Enc_Free(e);
      return nullptr;
    }
    e->venc = avcodec_alloc_context3(codec);
    e->vst = avformat_new_stream(e->oc, nullptr);
    e->vframe = av_frame_alloc();
    if (!e->venc || !e->vst || !e->vframe) {
      Enc_Free(e);
      return nullptr;
    }
    AVCodecContext* c = e->venc;
    c->width = p->width;
    c->height = p->height;
    c->time_base = AVRational{1, p->frameRate};
    c->framerate = AVRational{p->frameRate, 1};
    c->gop_size = p->gop > 0 ? p->gop : 0;
    c->max_b_frames = 0;
    c->thread_count = 1;
    c->pix_fmt = (codec->pix_fmts && codec->pix_fmts[0] != AV_PIX_FMT_NONE) ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    if (c->pix_fmt == AV_PIX_FMT_YUVJ420P || c->pix_fmt == AV_PIX_FMT_YUVJ422P || c->pix_fmt == AV_PIX_FMT_YUVJ444P)
      c->color_range = AVCOL_RANGE_JPEG;
    c->bit_rate = int64_t(p->width) * p->height * p->frameRate;  // generous; the quantiser rules
    if (p->quality > 0) {
      c->flags |= AV_CODEC_FLAG_QSCALE;
      c->global_quality = FF_QP2LAMBDA * p->quality;
      c->qmin = c->qmax = p->quality;
    }
    if (e->oc->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(c, codec, nullptr) < 0 || avcodec_parameters_from_context(e->vst->codecpar, c) < 0) {
      Log_Printf("MediaEnc_Open: video encoder %s refused\n", p->videoCodec);
      Enc_Free(e);
      return nullptr;
    }
    e->vst->time_base = c->time_base;
    e->vst->avg_frame_rate = c->framerate;
    e->vframe->format = c->pix_fmt;
    e->vframe->width = c->width;
    e->vframe->height = c->height;
    if (av_frame_get_buffer(e->vframe, 0) < 0) {
      Enc_Free(e);
      return nullptr;
    }
    e->width = p->width;
    e->height = p->height;
  }
  if (p->audioCodec) {
    const AVCodec* codec = avcodec_find_encoder_by_name(p->audioCodec);
    if (!codec || p->sampleRate <= 0 || p->channels < 1 || p->channels > 2) {
      Log_Printf("MediaEnc_Open: no audio encoder %s\n", p->audioCodec);
      Enc_Free(e);
      return nullptr;
    }
    e->aenc = avcodec_alloc_context3(codec);
    e->ast = avformat_new_stream(e->oc, nullptr);
    e->aframe = av_frame_alloc();
    if (!e->aenc || !e->ast || !e->aframe) {
      Enc_Free(e);
      return nullptr;
    }
    AVCodecContext* c = e->aenc;
    c->sample_fmt = (codec->sample_fmts && codec->sample_fmts[0] != AV_SAMPLE_FMT_NONE) ? codec->sample_fmts[0]
                                                                                        : AV_SAMPLE_FMT_S16;
    c->sample_rate = p->sampleRate;
    av_channel_layout_default(&c->ch_layout, p->channels);
    c->bit_rate = 64000 * p->channels;
    c->time_base = AVRational{1, p->sampleRate};
    if (e->oc->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(c, codec, nullptr) < 0 || avcodec_parameters_from_context(e->ast->codecpar, c) < 0) {
      Log_Printf("MediaEnc_Open: audio encoder %s refused\n", p->audioCodec);
      Enc_Free(e);
      return nullptr;
    }
    e->ast->time_base = c->time_base;
    if (swr_alloc_set_opts2(&e->swr, &c->ch_layout, c->sample_fmt, c->sample_rate, &c->ch_layout,
                            AV_SAMPLE_FMT_S16, c->sample_rate, 0, nullptr) < 0 ||
        swr_init(e->swr) < 0) {
      Enc_Free(e);
      return nullptr;
    }
    e->channels = p->channels;
  }
  if (avio_open(&e->oc->pb, path, AVIO_FLAG_WRITE) < 0) {
    Log_Printf("MediaEnc_Open: cannot create %s\n", path);
    Enc_Free(e);
    return nullptr;
  }
  if (avformat_write_header(e->oc, nullptr) < 0) {
    Log_Printf("MediaEnc_Open: cannot write the header of %s\n", path);
    Enc_Free(e);
    return nullptr;
  }
  e->headerWritten = true;
  return e;
}

int MediaEnc_WriteVideo(MediaEncoder* e, const uint8_t* bgra, int bottomUp) {
  if (!e || !e->venc || !bgra || e->failed) return 0;
  e->sws = sws_getCachedContext(e->sws, e->width, e->height, AV_PIX_FMT_BGRA, e->width, e->height,
                                e->venc->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!e->sws || av_frame_make_writable(e->vframe) < 0) return 0;
  const size_t stride = size_t(e->width) * 4;
  const size_t padded = (stride + 63) / 64 * 64 + 64;
  e->rows.resize(padded * size_t(e->height + 1));
  for (int y = 0; y < e->height; y++)
    std::memcpy(e->rows.data() + padded * size_t(y), bgra + stride * size_t(bottomUp ? e->height - 1 - y : y), stride);
  const uint8_t* src[4] = {e->rows.data(), nullptr, nullptr, nullptr};
  int srcStride[4] = {int(padded), 0, 0, 0};
  sws_scale(e->sws, src, srcStride, 0, e->height, e->vframe->data, e->vframe->linesize);
  e->vframe->pts = e->vnext++;
  e->vframe->pict_type = AV_PICTURE_TYPE_NONE;
  if (!Enc_Send(e, e->venc, e->vst, e->vframe) || (e->oc->pb && e->oc->pb->error < 0)) {
    e->failed = true;
    return 0;
  }
  return 1;
}

// Encodes whole encoder frames from the waiting samples (all of them when flushing).
static int Enc_DrainAudio(MediaEncoder* e, bool flush) {
  AVCodecContext* c = e->aenc;
  bool fixed = c->frame_size > 0 && !(c->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
  int frameSize = fixed ? c->frame_size : 1024;
  size_t avail = e->afifo.size() / size_t(e->channels);
  size_t at = 0;
  while (avail - at >= size_t(frameSize) || (flush && avail > at)) {
    int n = int(avail - at < size_t(frameSize) ? avail - at : size_t(frameSize));
    av_frame_unref(e->aframe);
    e->aframe->format = c->sample_fmt;
    e->aframe->sample_rate = c->sample_rate;
    int samples = fixed ? frameSize : n;  // a fixed-size codec gets its short last frame padded
    e->aframe->nb_samples = samples;
    if (av_channel_layout_copy(&e->aframe->ch_layout, &c->ch_layout) < 0 || av_frame_get_buffer(e->aframe, 0) < 0)
      return 0;
    av_samples_set_silence(e->aframe->extended_data, 0, samples, e->channels, c->sample_fmt);
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(e->afifo.data() + at * e->channels)};
    if (swr_convert(e->swr, e->aframe->extended_data, samples, in, n) < 0) return 0;
    e->aframe->pts = e->anext;
    e->anext += samples;
    if (!Enc_Send(e, c, e->ast, e->aframe)) return 0;
    at += size_t(n);
  }
  e->afifo.erase(e->afifo.begin(), e->afifo.begin() + ptrdiff_t(at * e->channels));
  return 1;
}

int MediaEnc_WriteAudio(MediaEncoder* e, const int16_t* pcm, int sampleFrames) {
  if (!e || !e->aenc || !pcm || sampleFrames < 0 || e->failed) return 0;
  e->afifo.insert(e->afifo.end(), pcm, pcm + size_t(sampleFrames) * e->channels);
  if (!Enc_DrainAudio(e, false)) {
    e->failed = true;
    return 0;
  }
  return 1;
}

int MediaEnc_Close(MediaEncoder* e) {
  if (!e) return 0;
  bool ok = !e->failed;
  if (e->headerWritten) {
    if (e->venc && ok) ok = Enc_Send(e, e->venc, e->vst, nullptr);
    if (e->aenc && ok) ok = Enc_DrainAudio(e, true) && Enc_Send(e, e->aenc, e->ast, nullptr);
    if (av_write_trailer(e->oc) < 0) ok = false;
    if (e->oc->pb && e->oc->pb->error < 0) ok = false;
  }
  Enc_Free(e);
  return ok ? 1 : 0;
}

int Media_ReplaceFile(const char* from, const char* to) {
  if (!from || !to) return 0;
  return std::rename(from, to) == 0;
}

void Media_RemoveFile(const char* path) {
  if (path) std::remove(path);
}
