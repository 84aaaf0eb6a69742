#include "scene/may.h"
#include "scene/mp.h"
void mp_Draw(ModelObject*, ModelDrawParams*, ViewParams*) {}
void mayb_Draw(ModelObject*, ModelDrawParams*, ViewParams*) {}
