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

}  // namespace
