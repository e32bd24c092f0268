#include "scene/RenderIntoSurface.h"

#include "scene/Item.h"
#include "shell/Display.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/Surface.h"

int OffscreenSide(int side) {
    int n = 2;
    while (n < side && n < (1 << 30)) n *= 2;
    return n;
}

namespace {

// Ends the render into a surface however the drawing leaves.
class RenderTargetScope {
public:
    explicit RenderTargetScope(pf::Display& display) : display_(display) {}
    ~RenderTargetScope() { display_.EndRenderToSurface(); }
    RenderTargetScope(const RenderTargetScope&) = delete;
    RenderTargetScope& operator=(const RenderTargetScope&) = delete;

private:
    pf::Display& display_;
};

bool Inside(const pf::Rect& r, int width, int height) {
    return r.x >= 0 && r.y >= 0 && r.width > 0 && r.height > 0 && r.width <= width && r.height <= height &&
           r.x <= width - r.width && r.y <= height - r.height;
}

}  // namespace

bool renderItemIntoSurface(pf::Display* display, Item* item, pf::Rect source, pf::Surface* target,
                           pf::Rect destination) {
    if (!display || !item || !target) {
        pf::DebugStream() << L"renderItemIntoSurface: no display, item or target surface";
        return false;
    }
    if (source.width != destination.width || source.height != destination.height ||
        destination.width != target->GetWidth() || destination.height != target->GetHeight()) {
        pf::DebugStream() << L"renderItemIntoSurface: source " << source << L", destination " << destination
                          << L" and a target of " << target->GetWidth() << L"x" << target->GetHeight()
                          << L" differ in size";
        return false;
    }
    const int width = OffscreenSide(destination.width);
    const int height = OffscreenSide(destination.height);
    if (!Inside(source, width, height) || !Inside(destination, target->GetWidth(), target->GetHeight())) {
        pf::DebugStream() << L"renderItemIntoSurface: source " << source << L" or destination " << destination
                          << L" lies outside its surface";
        return false;
    }
    my_intrusive_ptr<Item> hold = KeepAlive(item);
    my_intrusive_ptr<pf::Surface> offscreen =
        display->CreateNativeSurface(width, height, pf::PixelFormat::A8R8G8B8, 1, false, true);
    if (!offscreen) {
        pf::DebugStream() << L"renderItemIntoSurface: no " << width << L"x" << height << L" render target";
        return false;
    }
    if (!display->BeginRenderToSurface(offscreen, &source)) {
        pf::DebugStream() << L"renderItemIntoSurface: cannot draw into the off-screen surface";
        return false;
    }
    bool copied = false;
    {
        RenderTargetScope scope(*display);
        display->Clear(0, 0, 0, 0);
        RenderState state;
        state.display = display;
        state.drawChildren = true;
        state.alpha = 255;
        state.world = pf::MatrixT::MakeIdentity();
        // The whole off-screen picture, so actors that clip intersect with something.
        state.clipRect = pf::Rect(0, 0, width, height);
        item->Draw(state);
        copied = display->CopyBackBuffer(source, pf::Point(destination.x, destination.y), target);
    }
    if (!copied) pf::DebugStream() << L"renderItemIntoSurface: the copy into the target failed";
    return copied;
}
