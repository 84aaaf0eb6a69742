// The Transport System between districts, the other full-screen modes (mini-game, help pictures)
// and the level map screen.
//
// The Transport System file "scripts\transport.tsd" (layout in quests/README.md) lists up to 20
// districts, each with a map model under "maps\TS\", its initial access word and up to 16
// places (a level with its start origin and angles in degrees); place n (from 1) of a district
// is drawn and picked through the entry model "maps\TS\<district model>_<n>". It also lists
// the levels' map pictures for the map screen.
//
// The screen works on the 640 x 480 layout: the map models lie in the plane z = 0 seen from
// straight above (1 layout pixel = 10 units on a 4:3 screen, the model origin at the screen
// centre, +y up), and the pointer's ray runs from the eye through that plane.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/vecmath.h"

constexpr int kTsDistricts = 20;
constexpr int kTsPlaces = 16;  // per district
constexpr int kTsMaps = 64;
constexpr int kTsNameSize = 64;  // every text field of the file
constexpr char kTsFile[] = "scripts\\transport.tsd";
constexpr char kTsModelFolder[] = "maps\\TS\\";

struct TsPlace {
  char name[kTsNameSize];   // text key of its visible name
  char level[kTsNameSize];  // the level it leads to
  vec3 origin;              // start origin
  vec3 angles;              // start angles, degrees
  int32_t usable;           // 0: its level or entry model is missing (never offered)
};
struct TsDistrict {
  char name[kTsNameSize];   // text key of its visible name
  char model[kTsNameSize];  // below "maps\TS\"
  uint32_t access;          // initial access word: 0 open, anything else closed
  int32_t usable;           // 0: its map model is missing (never offered)
  int32_t placeCount;
  TsPlace places[kTsPlaces];
};
// A level's map picture and the part of the world it shows (x and y, game units).
struct TsMap {
  char level[kTsNameSize];
  char picture[kTsNameSize];
  float minX, minY, maxX, maxY;
};
struct TsData {
  int32_t districtCount;
  TsDistrict districts[kTsDistricts];
  int32_t mapCount;
  TsMap maps[kTsMaps];
};
extern TsData TS_Data;

// The screen's three state words: the chosen district and the selected place (index + 1, 0 for
// none) and what the pointer hovers (a place when a district is chosen, else a district; index +
// 1, 0 for none).
struct TsScreenState {
  int32_t district;
  int32_t place;
  int32_t hover;
};
extern TsScreenState TS_State;

// Checks the file's bytes and takes them into `out`; 0 with one log line naming `fileName` when
// they are damaged (then `out` is left as it was).
int TS_ReadData(const void* bytes, size_t size, const char* fileName, TsData* out);
// Start-up: reads the Transport System file (an empty system when it is missing or damaged) and
// marks the districts and places whose map models or levels are missing (one log line each).
void TS_Init();
// The initial access word of a district (0 outside the file's districts).
uint32_t TS_InitialAccess(int district);
// Opens the Transport System screen with its state words at 0 and the pointer in the middle;
// 0 (with a log line, the mode unchanged) when the system has no districts (its file gave none).
// Districts that are closed are shown as closed: the screen itself refuses them.
int TS_Open();
// 1 when the place is offered: usable, its level not in the blocked level list, and no non-zero
// lock word in the place table's row of its level.
int TS_PlaceOffered(int district, int place);
// 1 when the district is offered: usable and its access word (quest state) is 0.
int TS_DistrictOffered(int district);
// 1 when the system has districts (open or closed) to show.
int TS_HasDistricts();
// Works out what the pointer at (x, y) of the layout hovers (sets TS_State.hover).
void TS_UpdateHover(float x, float y);
// The full-screen drawing by mode: 1 the Transport System, 3 the mini-game, 4 help.
void TS_Draw();
// The Transport System's input (full-screen mode 1): the pointer, its clicks and the keys.
void TS_Input();

// The level map screen: open while non-zero; the "Map" action toggles it in play, Escape closes.
extern uint32_t MapScreen_Open;
void MapScreen_Draw();
// The play input hands it the frame's command word: the Map action's press toggles the screen.
void MapScreen_Command(uint32_t command);
// Where a world point lies on the map screen (layout pixels); false when the level has no map.
bool MapScreen_Project(const char* level, float x, float y, float* sx, float* sy);
// Help pictures, drawn one under the other (missing ones are skipped).
constexpr int kHelpPictures = 2;
extern const char* const Help_PictureNames[kHelpPictures];
