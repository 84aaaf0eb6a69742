#include "ui/menu.h"

// The menus arrive later.
void Menu_Draw() {}
void Menu_Input() {}
