// A display with small texture caps whose textures are memory surfaces that record their
// locks and draws, for the tiled surfaces' tests.
#pragma once

#include <vector>

#include "common/NullDisplay.h"
#include "shell/pixels/MemorySurface.h"

namespace testimages {

struct DrawCall {
    pf::Surface* tile;
    pf::Rect source;
    pf::Rect destination;
};

struct LockCall {
    pf::Surface* tile;
    int mode;
    pf::Rect rect;
};

class FakeDisplay;

// A texture: memory pixels that refuse rectangles outside themselves.
class FakeTexture : public pf::MemorySurface {
public:
    FakeTexture(FakeDisplay& display, int w, int h, pf::PixelFormat format);
    void Lock(int mode, const pf::Rect* rect, int& pitch, uint8_t*& bits) override;
    void Draw(pf::Display* display, const pf::Rect* source, const pf::Rect* destination) override;
    bool IsHardware() const override { return true; }

private:
    FakeDisplay& display_;
};

class FakeDisplay : public testkit::NullDisplay {
public:
    explicit FakeDisplay(int maxSize, bool pow2Only = false) {
        caps.maxWidth = caps.maxHeight = maxSize;
        caps.pow2Only = pow2Only;
    }

    std::vector<DrawCall> draws;
    std::vector<LockCall> locks;
    std::vector<pf::Rect> created;  // (0, 0, w, h) of every texture made
    int failAfter = -1;             // textures made before creation starts failing
    // When set, every texture is made in this format whatever was asked (as a device
    // keeps some formats in another layout).
    pf::PixelFormat textureFormat = pf::PixelFormat::Default;

    pf::SurfacePtr CreateSurface(int w, int h, pf::PixelFormat format) override {
        if (failAfter >= 0 && int(created.size()) >= failAfter) return nullptr;
        created.emplace_back(0, 0, w, h);
        if (textureFormat != pf::PixelFormat::Default) format = textureFormat;
        return pf::SurfacePtr(new FakeTexture(*this, w, h, format));
    }
    pf::SurfacePtr CreateSurfaceFromImage(const pf::PixelView& image) override {
        pf::SurfacePtr s = CreateSurface(image.width, image.height, image.format);
        if (s) {
            pf::PixelView dst = static_cast<FakeTexture*>(s.get())->GetView();
            pf::CopyOrConvertView(image, dst);
        }
        return s;
    }

};

inline FakeTexture::FakeTexture(FakeDisplay& display, int w, int h, pf::PixelFormat format)
    : display_(display) {
    Init(w, h, pf::BytesPerPixel(format), format);
}

inline void FakeTexture::Lock(int mode, const pf::Rect* rect, int& pitch, uint8_t*& bits) {
    display_.locks.push_back({this, mode, rect ? *rect : pf::Rect(0, 0, GetWidth(), GetHeight())});
    MemorySurface::Lock(mode, rect, pitch, bits);
}

inline void FakeTexture::Draw(pf::Display*, const pf::Rect* source, const pf::Rect* destination) {
    display_.draws.push_back({this, source ? *source : pf::Rect(0, 0, GetWidth(), GetHeight()),
                              destination ? *destination : pf::Rect()});
}

}  // namespace testimages
