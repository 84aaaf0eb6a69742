// The byte images of game objects and global personages in saved games: each field written in
// its own place, little-endian; pointers are 4-byte slots written as 0 and ignored when read.
#pragma once
#include <cstddef>
#include <cstdint>

struct GameObject;
struct GlobalPersonage;
struct PersonStats;

enum ImageKind : uint8_t { IMG_PTR, IMG_U32, IMG_I32, IMG_F32, IMG_F64, IMG_TEXT, IMG_RESERVED, IMG_U8 };

struct ImageField {
  const char* name;
  uint32_t offset;  // in the image
  uint32_t size;    // bytes in the image (a 4- or 8-byte kind repeats size / width times)
  ImageKind kind;
  ptrdiff_t native;  // offset in the native record; -1 for reserved bytes
};

constexpr uint32_t kObjectImageSize = 40024;
constexpr uint32_t kPersonBlockOffset = 56;  // the person block inside the object image
constexpr uint32_t kPersonBlockSize = 5904;
constexpr uint32_t kPersonageImageSize = 5920;  // four int32, then the person block

extern const ImageField ObjImage_Fields[];
extern const int ObjImage_FieldCount;

// Writes the object's image (kObjectImageSize bytes).
void ObjImage_Write(const GameObject* obj, uint8_t* out);
// Reads the fields of an image into the object; its pointers and slots are left as they are.
void ObjImage_Read(GameObject* obj, const uint8_t* in);
// The person block alone (kPersonBlockSize bytes), as in the object image.
void PersonImage_Write(const PersonStats* person, uint8_t* out);
void PersonImage_Read(PersonStats* person, const uint8_t* in);
// A global personage's image (kPersonageImageSize bytes).
void PersonageImage_Write(const GlobalPersonage* p, uint8_t* out);
void PersonageImage_Read(GlobalPersonage* p, const uint8_t* in);
