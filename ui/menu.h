// The menu system's frame hooks: its drawing and input while a menu is open.
#pragma once

void Menu_Draw();
void Menu_Input();
// Installs the main menu as the front end's screen (the stack holds it alone).
void Menu_SetMain();
