// The menu system: its drawing and input while a menu is open.
#pragma once

void Menu_Draw();
void Menu_Input();
