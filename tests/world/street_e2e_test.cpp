// The real executable on the sample street: with the hero standing at the start, passers-by of
// the street's templates and cars appear (the spawn trace on standard output), never more than
// the caps of the street's navigation file.
#include <algorithm>
#include <string>

#include "e2e_fixture.h"
#include "tools/nav_writer.h"

namespace {

using StreetE2E = tw_test::GameE2E;

TEST_F(StreetE2E, PassersByAndCarsAppearNeverAboveTheCaps) {
  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(8));
  EndGameAndQuit();
  if (HasFatalFailure()) return;
  // Spawn trace blocks of characters without an id: the level's own characters all carry one.
  std::string out = tw_test::ReadFile("stdout.txt");
  int civilians = 0, cars = 0, others = 0;
  for (size_t at = out.find("{\nclassname npc\n"); at != std::string::npos; at = out.find("{\nclassname npc\n", at + 1)) {
    std::string block = out.substr(at, out.find("}\n", at) - at);
    if (block.find("\nid ") != std::string::npos) continue;
    if (block.find("\nname npc\\townsman\\body\n") != std::string::npos ||
        block.find("\nname npc\\mirasolvek\\body\n") != std::string::npos)
      civilians++;
    else if (block.find("\nname anim\\props\\crate\n") != std::string::npos)
      cars++;
    else
      others++;
  }
  const NavWriterFile street = NavWriter_SampleStreet();
  EXPECT_GE(civilians, 1) << out;
  EXPECT_LE(civilians, std::max(street.caps[1], street.caps[2])) << out;
  EXPECT_GE(cars, 1) << out;
  EXPECT_LE(cars, street.caps[0]) << out;
  EXPECT_EQ(others, 0) << out;
}

}  // namespace
