#include "scene/ScreenSize.h"

#include <atomic>

namespace {
std::atomic<int> g_width{800};
std::atomic<int> g_height{600};
}  // namespace

int GetGameScreenWidth() { return g_width.load(); }
int GetGameScreenHeight() { return g_height.load(); }
void SetGameScreenSize(int width, int height) {
    g_width = width;
    g_height = height;
}
