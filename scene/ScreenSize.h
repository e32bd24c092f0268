// The game screen size the scene reads: (0, 0, width, height) is the screen rectangle of
// clip rectangles and the default size of new items. 800 x 600 until the display sets it.
// The scene's view of the display's game screen size (pf::GetGameScreenSize).
#pragma once

int GetGameScreenWidth();
int GetGameScreenHeight();
void SetGameScreenSize(int width, int height);
