// Saves of the sample game's own levels: each level's real save loads back after a few seconds of
// play, and one level's save under another level's name is refused, sealed again or not.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "characters/defs.h"
#include "foundation/file.h"
#include "foundation/random.h"
#include "foundation/zip.h"
#include "scene/model.h"
#include "world/entity.h"
#include "world/level.h"
#include "world/save.h"
#include "world_fixture.h"

namespace {

using tw_test::Get32;
using tw_test::Put32;
using tw_test::ReadBytes;

class SampleSaves : public tw_test::SampleWorldTest {
 protected:
  // The level loaded, played for `seconds`, saved as "<level>"; the save's bytes.
  std::vector<uint8_t> Played(const char* level, float seconds) {
    EXPECT_EQ(Level_Load(level), 1);
    EXPECT_NE(Obj_Player, nullptr);
    Ticks(int(seconds / 0.05f));
    EXPECT_EQ(Save(level), 1);
    return ReadBytes(std::string("save/") + level + ".sav");
  }
};

TEST_F(SampleSaves, EveryLevelsSaveLoadsAndNoneLoadsUnderAnothersName) {
  std::vector<uint8_t> saves[3];
  const char* levels[3] = {"street", "rooms", "arena"};
  for (int i = 0; i < 3; i++) {
    saves[i] = Played(levels[i], 3);
    const uint32_t objects = uint32_t(Obj_Count()), last = Obj_LastId();
    Ticks(20);
    ASSERT_EQ(Save_LoadSlot(levels[i]), 1) << levels[i] << ": " << Log();
    EXPECT_STREQ(Level_Name, levels[i]);
    EXPECT_EQ(uint32_t(Obj_Count()), objects);
    EXPECT_EQ(Obj_LastId(), last);
    Ticks(20);  // play goes on
  }
  // Each save under each other level's name, sealed again and with its seal cut off.
  for (int from = 0; from < 3; from++)
    for (int to = 0; to < 3; to++) {
      if (from == to) continue;
      std::vector<uint8_t> lie = saves[from];
      std::memset(&lie[kSaveOfsLevel], 0, 256);
      std::memcpy(&lie[kSaveOfsLevel], levels[to], std::strlen(levels[to]));
      Put32(lie, lie.size() - 4, Zip_Crc32(0, lie.data(), lie.size() - 4));
      for (int unsealed = 0; unsealed < 2; unsealed++) {
        if (unsealed) lie.resize(lie.size() - 8);
        tw_test::WriteBytes("save/lie.sav", lie);
        const size_t before = Log().size();
        EXPECT_EQ(Save_LoadSlot("lie"), 0) << levels[from] << " as " << levels[to];
        const std::string added = Log().substr(before);
        const std::string line = std::string("Load:no \"") + levels[to] + "\" of level \"" + levels[to] + "\"";
        EXPECT_NE(added.find(line), std::string::npos) << levels[from] << " as " << levels[to] << ": " << added;
        EXPECT_STREQ(Level_Name, "arena");  // the running level stays
      }
    }
}

}  // namespace
