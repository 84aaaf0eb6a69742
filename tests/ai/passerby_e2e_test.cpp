// The real executable on the sample street: a passer-by stands in two places one second apart,
// as two quick saves taken a second apart tell.
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "world/e2e_fixture.h"
#include "world/image.h"
#include "world/object.h"
#include "world/save.h"

namespace {

using PasserByE2E = tw_test::GameE2E;

uint32_t Word(const std::vector<uint8_t>& b, size_t at) {
  return at + 4 <= b.size() ? uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24
                            : 0;
}

// The unnamed characters on foot of a saved game, by id.
std::map<uint32_t, vec3> PassersBy(const std::vector<uint8_t>& save) {
  std::map<uint32_t, vec3> out;
  if (save.size() < kSaveHeaderSize) return out;
  size_t at = kSaveHeaderSize + size_t(Word(save, kSaveOfsEmitterCount)) * kSaveEmitterSize +
              size_t(Word(save, kSaveOfsPersonageCount)) * kPersonageImageSize;
  const uint32_t count = Word(save, kSaveOfsObjectCount);
  auto scratch = std::make_unique<GameObject>();
  for (uint32_t i = 0; i < count && at + kObjectImageSize <= save.size(); i++, at += kObjectImageSize) {
    *scratch = GameObject{};
    ObjImage_Read(scratch.get(), save.data() + at);
    if (scratch->classNum == NPC && !scratch->person.name[0] && !scratch->person.vehicleState &&
        scratch->person.state == 1)
      out[scratch->id] = scratch->origin;
  }
  return out;
}

std::vector<uint8_t> QuickSave() {
  std::string text = tw_test::ReadFile("save/quicksave/quick.sav");
  return std::vector<uint8_t>(text.begin(), text.end());
}

TEST_F(PasserByE2E, APasserByStandsInTwoPlacesOneSecondApart) {
  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(5));  // people appear and set off
  Keys({"F5"});
  ASSERT_TRUE(WaitForLog("Save:game saved.", 20)) << tw_test::ReadFile("log");
  std::vector<uint8_t> first = QuickSave();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  Keys({"F5"});
  bool second = false;
  for (int i = 0; i < 100 && !second; i++) {
    std::string log = tw_test::ReadFile("log");
    size_t a = log.find("Save:game saved.");
    second = a != std::string::npos && log.find("Save:game saved.", a + 1) != std::string::npos;
    if (!second) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(second) << tw_test::ReadFile("log");
  std::vector<uint8_t> later = QuickSave();
  EndGameAndQuit();
  const std::map<uint32_t, vec3> before = PassersBy(first), after = PassersBy(later);
  ASSERT_FALSE(before.empty()) << "no passer-by in the street";
  float moved = 0;
  for (const auto& [id, at] : before) {
    auto it = after.find(id);
    if (it == after.end()) continue;
    moved = std::fmax(moved, std::hypot(it->second.x - at.x, it->second.y - at.y));
  }
  // A second of walking at 100 units a second, less the frames the save holds still.
  EXPECT_GT(moved, 30.0f) << before.size() << " passers-by, " << after.size() << " later";
}

}  // namespace
