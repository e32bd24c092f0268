// A display that does nothing and answers neutrally: test fakes derive from it and
// override only what they watch.
#pragma once

#include "shell/Display.h"

namespace testkit {

class NullDisplay : public pf::Display {
public:
    pf::TextureCaps caps{4096, 4096, false};
    int width = 800;
    int height = 600;

    const pf::TextureCaps* GetTextureCaps() const override { return &caps; }
    uint32_t GetColor() const override { return 0xFFFFFFFF; }
    void GetScreenSize(int& w, int& h) const override { w = width, h = height; }
    int GetHeight() const override { return height; }
    pf::PixelFormat GetNativeFormat(pf::PixelFormat f) const override { return f; }
    int GetWidth() const override { return width; }
    pf::TextureFilter GetTextureFilter() const override { return pf::TextureFilter::Auto; }
    void ClientToGame(float out[2], const float client[2]) const override {
        out[0] = client[0];
        out[1] = client[1];
    }
    pf::PixelFormat GetBackBufferFormat() const override { return pf::PixelFormat::X8R8G8B8; }
    void SetColor(const pf::Color& c) override { SetColor(c.r, c.g, c.b, c.a); }
    void SetColor(int, int, int, int) override {}
    void SetBrightness(int, int, int, int) override {}
    void SetBlendMode(pf::BlendMode) override {}
    void SetTextureFilter(pf::TextureFilter) override {}
    void SetTransform(const pf::MatrixT&) override {}
    void SetClipRect(const pf::Rect*) override {}
    void SetCursorImage(pf::Point, my_intrusive_ptr<pf::Surface>) override {}
    bool BeginRenderToSurface(my_intrusive_ptr<pf::Surface>&, const pf::Rect*) override { return false; }
    void EndRenderToSurface() override {}
    void AfterReset() override {}
    void BeforeReset() override {}
    bool BeginFrame(const pf::Rect*) override { return true; }
    bool BeginFrameUnscaled(const pf::Rect*) override { return true; }
    void EndScene() override {}
    my_intrusive_ptr<pf::Surface> CreateNativeSurface(int w, int h, pf::PixelFormat f, int, bool, bool) override {
        return CreateSurface(w, h, f);
    }
    my_intrusive_ptr<pf::Surface> CreateSurface(int, int, pf::PixelFormat) override { return nullptr; }
    my_intrusive_ptr<pf::Surface> CreateSurfaceFromImage(const pf::PixelView&) override { return nullptr; }
    my_intrusive_ptr<pf::Surface> CreateDynamicSurface(int w, int h, pf::PixelFormat f) override {
        return CreateSurface(w, h, f);
    }
    bool CopyBackBuffer(const pf::Rect&, const pf::Point&, pf::Surface*) override { return false; }
    void Clear(int, int, int, int) override {}
    bool SetFullScreen(int, int, bool) override { return true; }
    void DrawTriangles(const pf::DisplayVertex*, int, int, pf::Surface*) override {}
    void EndFrame() override {}
    void FillRect(const pf::Rect&) override {}
    bool Init(int, int, bool, bool, bool) override { return true; }
    void DrawLine(const pf::VectorT3&, const pf::VectorT3&) override {}
    void DrawLine(const pf::Point&, const pf::Point&) override {}
    void SetOverlayText(const std::wstring&) override {}
};

}  // namespace testkit
