#include "quests/quest.h"

// The quest interpreter arrives later.
void Que_Tick() {}
