// The sun's path over the day and the Info reply of scenery classes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "world/areol.h"
#include "world/object.h"

namespace {

TEST(Sun, RisesAheadAndStandsOverheadAtAQuarterDay) {
  struct Case {
    double clock;
    float day;
    vec3 direction;
  } cases[] = {{0, 60, {0, 100, 0}}, {15, 60, {0, 0, 100}}, {30, 60, {0, -100, 0}}, {100, 400, {0, 0, 100}},
               {15, 0, {0, 0, 100}}};  // a day of no length counts as a minute
  for (const Case& c : cases) {
    vec3 d = Areol_SunDirection(c.clock, c.day);
    EXPECT_NEAR(d.x, c.direction.x, 1e-3) << c.clock;
    EXPECT_NEAR(d.y, c.direction.y, 1e-3) << c.clock;
    EXPECT_NEAR(d.z, c.direction.z, 1e-3) << c.clock;
  }
  // The glare: strongest at the centre, never from two factors outside the screen.
  const vec3 ahead{0, 100, 0};
  EXPECT_FLOAT_EQ(Areol_GlareStrength(ahead, 0, 0), 0.4f);
  EXPECT_FLOAT_EQ(Areol_GlareStrength(ahead, 0.5f, 0), 0.2f);
  EXPECT_EQ(Areol_GlareStrength(ahead, 1.5f, -1.5f), 0.0f);
}

TEST(Sun, InfoNamesTheObjectItsClassAndPlace) {
  GameObject* o = Obj_Alloc();
  std::strcpy(o->person.name, "sun");
  o->origin = {1.9f, -100.5f, 3};
  o->angles = {0, -1.5707964f, 0};
  int32_t request[8] = {0};
  char reply[28 + kObjInfoText] = {};
  Areol_Info(o, request, reply);
  int32_t answered;
  std::memcpy(&answered, reply, 4);
  EXPECT_EQ(answered, 1);
  EXPECT_EQ(std::string(reply + 28), std::to_string(o->id) + ":sun[AREOL]:[1,-100,3][0,-90,0]");
  Obj_ClearAll();
}

}  // namespace
