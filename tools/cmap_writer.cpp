#include "tools/cmap_writer.h"

static void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

static void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v >> 16);
  Put16(out, v & 0xFFFF);
}

std::vector<uint8_t> CmapWriter_Format4(const std::vector<CmapSegment>& segments) {
  const uint32_t segCount = static_cast<uint32_t>(segments.size());
  uint32_t glyphWords = 0;
  for (auto& s : segments) glyphWords += static_cast<uint32_t>(s.glyphs.size());
  const uint32_t length = 16 + 8 * segCount + 2 * glyphWords;
  uint32_t searchRange = 2, entrySelector = 0;
  while (searchRange * 2 <= 2 * segCount) {
    searchRange *= 2;
    entrySelector++;
  }
  std::vector<uint8_t> out;
  Put16(out, 4);
  Put16(out, length);
  Put16(out, 0);
  Put16(out, 2 * segCount);
  Put16(out, searchRange);
  Put16(out, entrySelector);
  Put16(out, 2 * segCount - searchRange);
  for (auto& s : segments) Put16(out, s.end);
  Put16(out, 0);
  for (auto& s : segments) Put16(out, s.start);
  for (auto& s : segments) Put16(out, s.delta);
  uint32_t glyphAt = 0;
  for (uint32_t i = 0; i < segCount; i++) {
    if (segments[i].glyphs.empty()) {
      Put16(out, 0);
    } else {
      Put16(out, 2 * (segCount - i) + 2 * glyphAt);
      glyphAt += static_cast<uint32_t>(segments[i].glyphs.size());
    }
  }
  for (auto& s : segments)
    for (uint16_t g : s.glyphs) Put16(out, g);
  return out;
}

std::vector<uint8_t> CmapWriter_Table(const std::vector<CmapRecord>& records) {
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(records.size()));
  uint32_t offset = 4 + 8 * static_cast<uint32_t>(records.size());
  for (auto& r : records) {
    Put16(out, r.platform);
    Put16(out, r.encoding);
    Put32(out, offset);
    offset += static_cast<uint32_t>(r.subtable.size());
  }
  for (auto& r : records) out.insert(out.end(), r.subtable.begin(), r.subtable.end());
  return out;
}
