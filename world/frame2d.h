// The 2D layer of the frame: exactly one screen by mode.
#pragma once

void Game_Draw2D();
