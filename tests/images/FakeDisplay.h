// A display with small texture caps whose textures are memory surfaces that record their
// locks and draws, for the tiled surfaces' tests.
#pragma once

#include <vector>

#include "shell/Display.h"
#include "shell/MemorySurface.h"

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

class FakeDisplay : public pf::Display {
public:
    explicit FakeDisplay(int maxSize, bool pow2Only = false) {
        caps_.maxWidth = caps_.maxHeight = maxSize;
        caps_.pow2Only = pow2Only;
    }

    pf::TextureCaps caps_;
    std::vector<DrawCall> draws;
    std::vector<LockCall> locks;
    std::vector<pf::Rect> created;  // (0, 0, w, h) of every texture made
    int failAfter = -1;             // textures made before creation starts failing

    const pf::TextureCaps* GetTextureCaps() const override { return &caps_; }
    pf::SurfacePtr CreateSurface(int w, int h, pf::PixelFormat format) override {
        if (failAfter >= 0 && int(created.size()) >= failAfter) return nullptr;
        created.emplace_back(0, 0, w, h);
        return pf::SurfacePtr(new FakeTexture(*this, w, h, format));
    }
    pf::SurfacePtr CreateSurfaceFromImage(const pf::PixelView& image) override {
        pf::SurfacePtr s = CreateSurface(image.width, image.height, image.format);
        if (s) {
            pf::PixelView dst = static_cast<FakeTexture*>(s.get())->GetView();
            pf::CopyView(image, dst);
        }
        return s;
    }

    // Not used by the surfaces.
    uint32_t GetColor() const override { return 0xFFFFFFFF; }
    void GetScreenSize(int& w, int& h) const override { w = h = 0; }
    int GetHeight() const override { return 0; }
    pf::PixelFormat GetNativeFormat(pf::PixelFormat f) const override { return f; }
    int GetWidth() const override { return 0; }
    pf::TextureFilter GetTextureFilter() const override { return pf::TextureFilter::Auto; }
    void ClientToGame(float out[2], const float in[2]) const override { out[0] = in[0]; out[1] = in[1]; }
    pf::PixelFormat GetBackBufferFormat() const override { return pf::PixelFormat::X8R8G8B8; }
    void SetColor(const pf::Color&) override {}
    void SetColor(int, int, int, int) override {}
    void SetBrightness(int, int, int, int) override {}
    void SetBlendMode(pf::BlendMode) override {}
    void SetTextureFilter(pf::TextureFilter) override {}
    void SetTransform(const pf::MatrixT&) override {}
    void SetClipRect(const pf::Rect*) override {}
    void SetCursorImage(pf::Point, pf::SurfacePtr) override {}
    bool BeginRenderToSurface(pf::SurfacePtr&, const pf::Rect*) override { return false; }
    void EndRenderToSurface() override {}
    void AfterReset() override {}
    void BeforeReset() override {}
    bool BeginFrame(const pf::Rect*) override { return true; }
    bool BeginFrameUnscaled(const pf::Rect*) override { return true; }
    void EndScene() override {}
    pf::SurfacePtr CreateNativeSurface(int w, int h, pf::PixelFormat f, int, bool, bool) override {
        return CreateSurface(w, h, f);
    }
    pf::SurfacePtr CreateDynamicSurface(int w, int h, pf::PixelFormat f) override {
        return CreateSurface(w, h, f);
    }
    bool CopyBackBuffer(const pf::Rect&, const pf::Point&, pf::Surface*) override { return false; }
    void Clear(int, int, int, int) override {}
    bool SetFullScreen(int, int, bool) override { return false; }
    void DrawTriangles(const pf::DisplayVertex*, int, int, pf::Surface*) override {}
    void EndFrame() override {}
    void FillRect(const pf::Rect&) override {}
    bool Init(int, int, bool, bool, bool) override { return true; }
    void DrawLine(const pf::VectorT3&, const pf::VectorT3&) override {}
    void DrawLine(const pf::Point&, const pf::Point&) override {}
    void SetOverlayText(const std::wstring&) override {}
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
