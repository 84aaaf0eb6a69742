// The street's loose crates: bodies of the physics world that shots and a sliding door knock over.
#pragma once
#include <vector>

#include "tools/entity_writer.h"

// The entity blocks appended to the street's ".scn": "loose_crate_1" on the road with
// "loose_crate_2" stacked on it and "loose_crate_3" beside them, each a WORLD object with the
// crate model, a 32-unit clip box and the "physics" name "anim\props\crate" (not a level, so a
// loose box body); and the door "crate_door" that slides across the road into the stack on Use
// and back after four seconds.
std::vector<EntityToolPairs> PhysicsAssets_Blocks();
