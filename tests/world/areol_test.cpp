// The sun's path over the day and the Info reply of scenery classes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "world/areol.h"
#include "world/object.h"
#include "world/props.h"

namespace {

TEST(Sun, RisesAheadStandsOverheadAtAQuarterDayAndInfoNamesItsPlace) {
  struct Case {
    double clock;
    float day;
    vec3 direction;
  } cases[] = {{0, 60, {0, 100, 0}}, {15, 60, {0, 0, 100}}, {30, 60, {0, -100, 0}},
               {15, 0, {0, 0, 100}}};  // a day of no length counts as a minute
  for (const Case& c : cases) {
    vec3 d = Areol_SunDirection(c.clock, c.day);
    EXPECT_NEAR(d.x, c.direction.x, 1e-3) << c.clock;
    EXPECT_NEAR(d.y, c.direction.y, 1e-3) << c.clock;
    EXPECT_NEAR(d.z, c.direction.z, 1e-3) << c.clock;
  }
  // The Info reply names the object, its class and its place.
  GameObject* o = Obj_Alloc();
  std::strcpy(o->person.name, "sun");
  o->origin = {1.9f, -100.5f, 3};
  o->angles = {0, -1.5707964f, 0};
  int32_t request[8] = {0};
  char reply[kObjInfoReplyBytes] = {};
  Areol_Info(o, request, reply);
  EXPECT_EQ(std::string(reply + 28), std::to_string(o->id) + ":sun[AREOL]:[1,-100,3][0,-90,0]");
  Obj_ClearAll();
}

}  // namespace
