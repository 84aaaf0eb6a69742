// Writer of TrueType "cmap" tables (big-endian), for the font reader's tests and fuzz seeds.
#pragma once
#include <cstdint>
#include <vector>

struct CmapSegment {
  uint16_t start, end;
  uint16_t delta;
  // Empty: the segment maps by delta alone (idRangeOffset 0). Otherwise one entry per code.
  std::vector<uint16_t> glyphs;
};

struct CmapRecord {
  uint16_t platform, encoding;
  std::vector<uint8_t> subtable;
};

// A format-4 subtable of the segments in order (the caller adds the closing 0xFFFF segment).
std::vector<uint8_t> CmapWriter_Format4(const std::vector<CmapSegment>& segments);
// A whole "cmap" table: header, encoding records, then the subtables back to back.
std::vector<uint8_t> CmapWriter_Table(const std::vector<CmapRecord>& records);
