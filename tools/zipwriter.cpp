#include "tools/zipwriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "foundation/log.h"

namespace {

struct Central {
  std::string name;
  std::string comment;
  uint32_t flags, method, dosDate, crc, compressedSize, uncompressedSize, localOffset;
};

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

struct ZipWriter {
  uint8_t sig;
  std::vector<uint8_t> bytes;
  std::vector<Central> entries;
};

ZipWriter* ZipWriter_Create(uint8_t signatureByte) {
  auto* w = new ZipWriter;
  w->sig = signatureByte;
  return w;
}

static void PutSig(ZipWriter* w, uint8_t a, uint8_t b) {
  w->bytes.push_back(w->sig);
  w->bytes.push_back('K');
  w->bytes.push_back(a);
  w->bytes.push_back(b);
}

static bool Deflate(const void* data, size_t size, std::vector<uint8_t>& out) {
  z_stream s{};
  if (deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out.resize(deflateBound(&s, uLong(size)) + 16);
  s.next_in = const_cast<Bytef*>(static_cast<const Bytef*>(data));
  s.avail_in = uInt(size);
  s.next_out = out.data();
  s.avail_out = uInt(out.size());
  int r = deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return r == Z_STREAM_END;
}

int ZipWriter_AddMember(ZipWriter* w, const char* name, const void* data, size_t size, int method) {
  ZipWriterOptions o;
  o.method = method;
  return ZipWriter_AddMemberEx(w, name, data, size, o);
}

int ZipWriter_AddMemberEx(ZipWriter* w, const char* name, const void* data, size_t size,
                          const ZipWriterOptions& o) {
  if (!w || !name) return 0;
  size_t nameLength = std::strlen(name);
  size_t commentLength = o.comment ? std::strlen(o.comment) : 0;
  if (nameLength > 0xFFFF || commentLength > 0xFFFF || size >= 0xFFFFFFFFu || w->entries.size() >= 0xFFFF ||
      (o.method != ZIPW_STORED && o.method != ZIPW_DEFLATED) || (size && !data)) {
    Log_Printf("ZipWriter_AddMember: %s does not fit\n", name);
    return 0;
  }
  std::vector<uint8_t> packed;
  const uint8_t* payload = static_cast<const uint8_t*>(data);
  size_t payloadSize = size;
  if (o.method == ZIPW_DEFLATED) {
    if (!Deflate(data ? data : "", size, packed)) return 0;
    payload = packed.data();
    payloadSize = packed.size();
  }
  if (w->bytes.size() + 30 + nameLength + payloadSize + 16 >= 0xFFFFFFFFu) {
    Log_Printf("ZipWriter_AddMember: archive too large for %s\n", name);
    return 0;
  }
  Central c;
  c.name.assign(name, nameLength);
  if (o.comment) c.comment = o.comment;
  c.flags = o.dataDescriptor ? 8 : 0;
  c.method = uint32_t(o.method);
  c.dosDate = o.dosDate;
  c.crc = uint32_t(crc32(0, size ? static_cast<const Bytef*>(data) : nullptr, uInt(size)));
  c.compressedSize = uint32_t(payloadSize);
  c.uncompressedSize = uint32_t(size);
  c.localOffset = uint32_t(w->bytes.size());
  auto& b = w->bytes;
  PutSig(w, 3, 4);
  Put16(b, 20);
  Put16(b, c.flags);
  Put16(b, c.method);
  Put32(b, c.dosDate);
  Put32(b, o.dataDescriptor ? 0 : c.crc);
  Put32(b, o.dataDescriptor ? 0 : c.compressedSize);
  Put32(b, o.dataDescriptor ? 0 : c.uncompressedSize);
  Put16(b, uint32_t(nameLength));
  Put16(b, 0);
  b.insert(b.end(), name, name + nameLength);
  if (payloadSize) b.insert(b.end(), payload, payload + payloadSize);
  if (o.dataDescriptor) {
    b.push_back(w->sig);
    b.push_back('K');
    b.push_back(7);
    b.push_back(8);
    Put32(b, c.crc);
    Put32(b, c.compressedSize);
    Put32(b, c.uncompressedSize);
  }
  w->entries.push_back(std::move(c));
  return 1;
}

std::vector<uint8_t> ZipWriter_Finish(ZipWriter* w, const char* archiveComment) {
  if (!w) return {};
  auto& b = w->bytes;
  uint32_t dirOffset = uint32_t(b.size());
  for (const Central& c : w->entries) {
    PutSig(w, 1, 2);
    Put16(b, 20);
    Put16(b, 20);
    Put16(b, c.flags);
    Put16(b, c.method);
    Put32(b, c.dosDate);
    Put32(b, c.crc);
    Put32(b, c.compressedSize);
    Put32(b, c.uncompressedSize);
    Put16(b, uint32_t(c.name.size()));
    Put16(b, 0);
    Put16(b, uint32_t(c.comment.size()));
    Put16(b, 0);
    Put16(b, 0);
    Put32(b, 0);
    Put32(b, c.localOffset);
    b.insert(b.end(), c.name.begin(), c.name.end());
    b.insert(b.end(), c.comment.begin(), c.comment.end());
  }
  uint32_t dirSize = uint32_t(b.size()) - dirOffset;
  size_t commentLength = archiveComment ? std::strlen(archiveComment) : 0;
  if (commentLength > 0xFFFF) commentLength = 0xFFFF;
  PutSig(w, 5, 6);
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, uint32_t(w->entries.size()));
  Put16(b, uint32_t(w->entries.size()));
  Put32(b, dirSize);
  Put32(b, dirOffset);
  Put16(b, uint32_t(commentLength));
  if (commentLength) b.insert(b.end(), archiveComment, archiveComment + commentLength);
  std::vector<uint8_t> out = std::move(b);
  delete w;
  return out;
}

int ZipWriter_FinishToFile(ZipWriter* w, const char* path, const char* archiveComment) {
  if (!w || !path || !*path) {
    ZipWriter_Discard(w);
    return 0;
  }
  std::vector<uint8_t> bytes = ZipWriter_Finish(w, archiveComment);
  std::filesystem::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  std::string temp = std::string(path) + ".tmp";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    Log_Printf("ZipWriter_FinishToFile: cannot write %s\n", temp.c_str());
    return 0;
  }
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok || std::rename(temp.c_str(), path) != 0) {
    std::remove(temp.c_str());
    Log_Printf("ZipWriter_FinishToFile: cannot write %s\n", path);
    return 0;
  }
  return 1;
}

void ZipWriter_Discard(ZipWriter* w) { delete w; }

int ZipWriter_PackFolder(const char* folder, const char* archivePath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!folder || !archivePath || !fs::is_directory(folder, ec)) {
    Log_Printf("ZipWriter_PackFolder: %s is not a folder\n", folder ? folder : "(null)");
    return -1;
  }
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    if (it->is_regular_file(ec)) files.push_back(it->path());
  if (ec) {
    Log_Printf("ZipWriter_PackFolder: cannot list %s\n", folder);
    return -1;
  }
  std::sort(files.begin(), files.end());
  ZipWriter* w = ZipWriter_Create();
  int count = 0;
  for (const fs::path& file : files) {
    std::string name = fs::relative(file, folder, ec).generic_string();
    FILE* f = std::fopen(file.c_str(), "rb");
    std::vector<uint8_t> data;
    bool ok = f != nullptr;
    if (f) {
      uint8_t buf[65536];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
      ok = !std::ferror(f);
      std::fclose(f);
    }
    if (!ok || ec || !ZipWriter_AddMember(w, name.c_str(), data.data(), data.size(), data.empty() ? ZIPW_STORED : ZIPW_DEFLATED)) {
      Log_Printf("ZipWriter_PackFolder: cannot add %s\n", file.c_str());
      ZipWriter_Discard(w);
      return -1;
    }
    count++;
  }
  if (!ZipWriter_FinishToFile(w, archivePath)) return -1;
  return count;
}
