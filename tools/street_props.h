// The street's moving scenery and its shots, for the sample game and the tests: doors, a lift,
// levers, a smoking prop and a parked car, with their models, the effect pictures and the sounds.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/entity_writer.h"

// The clip box of the runabout, parked or left by the hero: the models (front along +y) and up to
// 64, so that the use ray from the eye (56 up) meets it.
constexpr const char* kStreetCarClipBox = "-36 -60 0 36 60 64";

// Files by name below the game's data folder: the models "anim/props/door.mp", "lift.mp",
// "lever.mp", "pickup.mp" and "car.mp" with their pictures "textures/props/door.tga", "car.tga"
// and "lever.tga", the runabout's models "cars/runabout/body.mp" and "wheels.mp" (the car
// definition's "body" and "body2") with "textures/cars/runabout/tyre.tga", the effect pictures
// "textures/explod.tga" and "textures/blood.tga", and the sounds "sound/blast.wav" and
// "sound/rocket.wav".
std::vector<std::pair<std::string, std::vector<uint8_t>>> StreetProps_Files();
// The street's entity blocks: the three-point lift "lift_1" with its levers "lift_up" and
// "lift_down", the door "hack_door" asking "skill_hack" 50, the gate "gate_1" that only its lever
// "gate_lever" opens, the smoking lamp "smoke_1" and the parked car "parked_car".
std::vector<EntityToolPairs> StreetProps_Blocks();
// Writes the files below `stage`; false when one cannot be written.
bool StreetProps_Write(const std::string& stage);
