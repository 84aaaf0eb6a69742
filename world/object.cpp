#include "world/object.h"

GameObject* Obj_ListHead;
GameObject* Obj_ListTail;
GameObject* Obj_Player;
