#include "scene/ScreenSize.h"

#include "shell/Display.h"

// One process-wide value, kept by the display.
int GetGameScreenWidth() {
    int width = 0, height = 0;
    pf::GetGameScreenSize(width, height);
    return width;
}

int GetGameScreenHeight() {
    int width = 0, height = 0;
    pf::GetGameScreenSize(width, height);
    return height;
}

void SetGameScreenSize(int width, int height) { pf::SetGameScreenSize(width, height); }
