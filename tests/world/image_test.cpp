// The saved image of objects: the field table and a field-by-field round trip.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "world/image.h"
#include "world/object.h"

namespace {

// Fills every typed field with random bytes (texts with random letters, shorter than the field).
void Scramble(GameObject* obj, std::mt19937* rng) {
  auto* base = reinterpret_cast<uint8_t*>(obj);
  for (int i = 0; i < ObjImage_FieldCount; i++) {
    const ImageField& f = ObjImage_Fields[i];
    if (f.kind == IMG_RESERVED || f.kind == IMG_PTR) continue;
    uint8_t* p = base + f.native;
    if (f.kind == IMG_TEXT) {
      uint32_t n = (*rng)() % f.size;
      for (uint32_t k = 0; k < f.size; k++) p[k] = k < n ? uint8_t('a' + (*rng)() % 26) : 0;
    } else {
      for (uint32_t k = 0; k < f.size; k++) p[k] = uint8_t((*rng)());
    }
  }
}

TEST(ObjectImage, FieldsFollowWithoutGapAndEveryFieldRoundTrips) {
  std::mt19937 rng(7);
  for (int round = 0; round < 5; round++) {
    GameObject a{}, b{};
    Scramble(&a, &rng);
    a.next = &b;
    a.slots = Obj_ClassSlots[3];
    a.drawModel = reinterpret_cast<ModelObject*>(&a);
    std::vector<uint8_t> image(kObjectImageSize, 0xCC), again(kObjectImageSize, 0xCC);
    ObjImage_Write(&a, image.data());
    for (int i = 0; i < ObjImage_FieldCount; i++) {
      const ImageField& f = ObjImage_Fields[i];
      if (f.kind != IMG_PTR && f.kind != IMG_RESERVED) continue;
      for (uint32_t k = 0; k < f.size; k++) ASSERT_EQ(image[f.offset + k], 0) << f.name;
    }
    ObjImage_Read(&b, image.data());
    EXPECT_EQ(b.next, nullptr);  // pointers are left as they were
    for (int i = 0; i < ObjImage_FieldCount; i++) {
      const ImageField& f = ObjImage_Fields[i];
      if (f.kind == IMG_PTR || f.kind == IMG_RESERVED) continue;
      EXPECT_EQ(std::memcmp(reinterpret_cast<uint8_t*>(&a) + f.native, reinterpret_cast<uint8_t*>(&b) + f.native, f.size),
                0)
          << f.name;
    }
    ObjImage_Write(&b, again.data());
    EXPECT_EQ(image, again);
  }
  // An unterminated text is cut inside its field.
  std::vector<uint8_t> image(kObjectImageSize, 0);
  std::memset(image.data() + kPersonBlockOffset, 'x', kPersonNameSize);  // no terminator
  GameObject obj{};
  ObjImage_Read(&obj, image.data());
  EXPECT_EQ(std::strlen(obj.person.name), size_t(kPersonNameSize - 1));
  // The fields follow in order without a gap; the anchors stand at their offsets.
  uint32_t at = 0;
  for (int i = 0; i < ObjImage_FieldCount; i++) {
    const ImageField& f = ObjImage_Fields[i];
    EXPECT_EQ(f.offset, at) << f.name;
    EXPECT_GT(f.size, 0u) << f.name;
    at = f.offset + f.size;
  }
  EXPECT_EQ(at, kObjectImageSize);
  const struct {
    const char* name;
    uint32_t offset;
  } anchors[] = {{"person.name", 56}, {"id", 5960}, {"useGroup2Name", 6508}, {"useArgument", 6896}};
  for (const auto& w : anchors) {
    int i = 0;
    while (i < ObjImage_FieldCount && std::strcmp(ObjImage_Fields[i].name, w.name) != 0) i++;
    ASSERT_LT(i, ObjImage_FieldCount) << w.name;
    EXPECT_EQ(ObjImage_Fields[i].offset, w.offset) << w.name;
  }
}

// The head of the image: the list links, the twelve slot words, the texts and the place fields at
// their offsets and sizes; doubles take eight bytes, and only reserved bytes have no field.
TEST(ObjectImage, HeadFieldsStandAtTheirOffsets) {
  struct Want {
    const char* name;
    uint32_t offset, size;
  };
  const Want wants[] = {{"next", 0, 4},          {"prev", 4, 4},       {"slots.Animate", 8, 4},
                        {"slots.PostLoad", 52, 4}, {"person.name", 56, 64}, {"id", 5960, 4},
                        {"classNum", 5964, 4},   {"owner", 5968, 4},   {"drawZone", 5972, 4},
                        {"flags", 5976, 4},      {"origin", 5980, 12}, {"angles", 5992, 12},
                        {"mins", 6004, 12},      {"maxs", 6016, 12},   {"prevOrigin", 6028, 12},
                        {"history", 6040, 60},   {"person.dialogueCue", 140, 64}, {"useGroupName", 6576, 64},
                        {"useGroup2Name", 6508, 64}, {"useScript", 6640, 256}, {"useArgument", 6896, 256}};
  for (const Want& w : wants) {
    const ImageField* found = nullptr;
    for (int i = 0; i < ObjImage_FieldCount; i++)
      if (std::strcmp(ObjImage_Fields[i].name, w.name) == 0) found = &ObjImage_Fields[i];
    ASSERT_TRUE(found) << w.name;
    EXPECT_EQ(found->offset, w.offset) << w.name;
    EXPECT_EQ(found->size, w.size) << w.name;
  }
  for (int i = 0; i < ObjImage_FieldCount; i++) {
    const ImageField& f = ObjImage_Fields[i];
    EXPECT_TRUE(f.kind != IMG_F64 || f.size == 8u) << f.name;
    EXPECT_EQ(f.native < 0, f.kind == IMG_RESERVED) << f.name;
  }
}

}  // namespace
