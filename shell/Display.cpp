#include "shell/Display.h"

#include "shell/pixels/Surface.h"

namespace pf {

bool FitsInTexture(const TextureCaps& caps, int width, int height) {
    if (width > caps.maxWidth || height > caps.maxHeight) return false;
    return !caps.pow2Only || (IsPowerOfTwo(width) && IsPowerOfTwo(height));
}

bool FitsInTexture(Display& display, int width, int height) {
    const TextureCaps* caps = display.GetTextureCaps();
    return caps && FitsInTexture(*caps, width, height);
}

}  // namespace pf
