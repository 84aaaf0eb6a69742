// JPEG files through libjpeg, read through the file layer. libjpeg reports errors by calling
// JPEG_ErrorExit, which jumps back into the loader: everything the loader keeps across that jump
// is plain static data, never an object with a destructor.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "foundation/log.h"
#include "render/image.h"
#include "render/image_internal.h"

namespace {

constexpr size_t kJpegReadSize = 4096;

struct JpegErrorMgr {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

struct JpegSourceMgr {
  jpeg_source_mgr pub;
  ImageSource* src;
  int readAny;
  JOCTET buffer[kJpegReadSize];
};

struct JpegState {
  jpeg_decompress_struct cinfo;
  JpegErrorMgr err;
  JpegSourceMgr source;
  const char* name;
};

JpegState g_jpeg;

void JpegOutputMessage(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  Log_Printf("JPEG_Load: %s: %s.\n", g_jpeg.name ? g_jpeg.name : "", text);
}

void JpegInitSource(j_decompress_ptr) {}

boolean JpegFillInputBuffer(j_decompress_ptr cinfo) {
  auto* s = reinterpret_cast<JpegSourceMgr*>(cinfo->src);
  size_t n = ImageSource_Read(s->src, s->buffer, kJpegReadSize);
  if (n == 0) {
    if (!s->readAny) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    s->buffer[0] = JOCTET(0xFF);
    s->buffer[1] = JOCTET(JPEG_EOI);
    n = 2;
  }
  s->readAny = 1;
  s->pub.next_input_byte = s->buffer;
  s->pub.bytes_in_buffer = n;
  return TRUE;
}

void JpegSkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* s = cinfo->src;
  while (count > long(s->bytes_in_buffer)) {
    count -= long(s->bytes_in_buffer);
    (*s->fill_input_buffer)(cinfo);
  }
  s->next_input_byte += count;
  s->bytes_in_buffer -= size_t(count);
}

void JpegTermSource(j_decompress_ptr) {}

}  // namespace

void JPEG_ErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  longjmp(reinterpret_cast<JpegErrorMgr*>(cinfo->err)->jump, 1);
}

ImageDesc* JPEG_LoadSource(ImageSource* src) {
  JpegState* st = &g_jpeg;
  st->name = src->name;
  st->cinfo.err = jpeg_std_error(&st->err.pub);
  st->err.pub.error_exit = JPEG_ErrorExit;
  st->err.pub.output_message = JpegOutputMessage;
  if (setjmp(st->err.jump)) {
    jpeg_destroy_decompress(&st->cinfo);
    return nullptr;
  }
  jpeg_create_decompress(&st->cinfo);
  st->source.src = src;
  st->source.readAny = 0;
  st->source.pub.init_source = JpegInitSource;
  st->source.pub.fill_input_buffer = JpegFillInputBuffer;
  st->source.pub.skip_input_data = JpegSkipInputData;
  st->source.pub.resync_to_restart = jpeg_resync_to_restart;
  st->source.pub.term_source = JpegTermSource;
  st->source.pub.bytes_in_buffer = 0;
  st->source.pub.next_input_byte = nullptr;
  st->cinfo.src = &st->source.pub;

  jpeg_read_header(&st->cinfo, TRUE);
  if (st->cinfo.jpeg_color_space == JCS_CMYK || st->cinfo.jpeg_color_space == JCS_YCCK) {
    Log_Printf("JPEG_Load: %s: CMYK pictures are not supported.\n", src->name);
    jpeg_destroy_decompress(&st->cinfo);
    return nullptr;
  }
  uint64_t w = st->cinfo.image_width, h = st->cinfo.image_height;
  if (w == 0 || h == 0 || w * h * 4 > uint64_t(kImageRoom)) {
    Log_Printf("JPEG_Load: %s too large (%llux%llu).\n", src->name, (unsigned long long)w,
               (unsigned long long)h);
    jpeg_destroy_decompress(&st->cinfo);
    return nullptr;
  }
  // Grey and colour pictures alike arrive as B, G, R, 255.
  st->cinfo.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&st->cinfo);
  ImageDesc* d = &g_imageDesc;
  int width = int(st->cinfo.output_width), height = int(st->cinfo.output_height);
  if (st->cinfo.output_components != 4 || uint64_t(width) * uint64_t(height) * 4 > kImageRoom) {
    Log_Printf("JPEG_Load: %s: unexpected output %dx%dx%d.\n", src->name, width, height,
               st->cinfo.output_components);
    jpeg_destroy_decompress(&st->cinfo);
    return nullptr;
  }
  // The k-th row delivered (from 1) becomes row height - k: bottom row first.
  while (st->cinfo.output_scanline < st->cinfo.output_height) {
    int k = int(st->cinfo.output_scanline) + 1;
    JSAMPROW row = d->pixels + size_t(height - k) * size_t(width) * 4;
    jpeg_read_scanlines(&st->cinfo, &row, 1);
  }
  jpeg_finish_decompress(&st->cinfo);
  jpeg_destroy_decompress(&st->cinfo);
  d->width = width;
  d->height = height;
  d->hasAlpha = 0;
  d->format = kImgBGRA;
  return d;
}
