#include "world/street.h"

// The population step arrives with the navigation areas.
void Street_Populate() {}
