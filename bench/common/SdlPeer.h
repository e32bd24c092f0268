// SDL2's software renderer drawing into a frame in memory, as a peer of the display's
// software device: the same textured, coloured triangles handed to SDL_RenderGeometry, or
// the same axis-aligned quads as SDL_RenderCopy rectangles. No window and no video
// subsystem are needed.
#pragma once

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "shell/DisplayDX.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/pixels/PixelView.h"
#include "shell/pixels/Surface.h"

namespace benchkit {

// How alike two pictures of one scene are: the share of pixels each drew away from the
// clear colour, and the mean difference per colour channel between them.
struct PictureMatch {
    double oursDrawn = 0, peerDrawn = 0, meanDifference = 0;
    // Both drew, the shares they drew differ by at most `drawnGap` of ours, and the mean
    // channel difference is at most maxMean.
    bool Same(double maxMean, double drawnGap = 0.1) const {
        return oursDrawn > 0.01 && peerDrawn > 0.01 && std::abs(oursDrawn - peerDrawn) <= drawnGap * oursDrawn &&
               meanDifference <= maxMean;
    }
};

inline PictureMatch MatchPictures(const std::vector<uint32_t>& ours, const std::vector<uint32_t>& peer, uint32_t clearArgb) {
    PictureMatch m;
    if (ours.empty() || ours.size() != peer.size()) return m;
    double sum = 0;
    size_t ourDrawn = 0, peerDrawn = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
        for (int sh = 0; sh < 24; sh += 8) sum += std::abs(int((ours[i] >> sh) & 255) - int((peer[i] >> sh) & 255));
        ourDrawn += (ours[i] & 0xFFFFFFu) != (clearArgb & 0xFFFFFFu);
        peerDrawn += (peer[i] & 0xFFFFFFu) != (clearArgb & 0xFFFFFFu);
    }
    m.oursDrawn = double(ourDrawn) / double(ours.size());
    m.peerDrawn = double(peerDrawn) / double(ours.size());
    m.meanDifference = sum / (3.0 * double(ours.size()));
    return m;
}

class SdlPeer {
public:
    SdlPeer(int width, int height) {
        frame_ = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
        renderer_ = frame_ ? SDL_CreateSoftwareRenderer(frame_) : nullptr;
    }
    ~SdlPeer() {
        for (SDL_Texture* t : textures_) SDL_DestroyTexture(t);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (frame_) SDL_FreeSurface(frame_);
    }
    SdlPeer(const SdlPeer&) = delete;
    SdlPeer& operator=(const SdlPeer&) = delete;

    bool Ok() const { return renderer_ != nullptr; }
    SDL_Renderer* Renderer() { return renderer_; }

    // A texture of the display surface's pixels (any format the engine can convert),
    // alpha-blended unless told otherwise.
    SDL_Texture* Texture(pf::Surface* surface, SDL_BlendMode mode = SDL_BLENDMODE_BLEND) {
        if (!renderer_ || !surface) return nullptr;
        pf::PixelView locked = pf::LockView(surface, nullptr, true, false);
        if (!locked.data) return nullptr;
        pf::MemorySurface argb(locked.width, locked.height);
        pf::PixelView to = argb.GetView();
        pf::CopyOrConvertView(locked, to);
        surface->Unlock();
        SDL_Texture* t = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, to.width,
                                           to.height);
        if (!t) return nullptr;
        SDL_UpdateTexture(t, nullptr, to.data, to.pitch);
        SDL_SetTextureBlendMode(t, mode);
        textures_.push_back(t);
        return t;
    }

    // Device vertices (screen space, 0xAARRGGBB, texture coordinates) as SDL's, with
    // the index list of the triangles: a strip of four per quad, or a plain list.
    void SetTriangles(const std::vector<pf::DeviceVertex>& v, bool quadStrips, float dx = 0, float dy = 0) {
        vertices_.clear();
        indices_.clear();
        for (const pf::DeviceVertex& d : v)
            vertices_.push_back(SDL_Vertex{{d.x + dx, d.y + dy},
                                           {Uint8(d.color >> 16), Uint8(d.color >> 8), Uint8(d.color), Uint8(d.color >> 24)},
                                           {d.u, d.v}});
        if (quadStrips) {
            for (int q = 0; q + 4 <= int(v.size()); q += 4)
                for (int k : {0, 1, 2, 1, 3, 2}) indices_.push_back(q + k);
        } else {
            for (int i = 0; i < int(v.size()); ++i) indices_.push_back(i);
        }
    }

    // The same quads as rectangle copies, the way an SDL program draws axis-aligned
    // sprites: each group of `perQuad` vertices becomes a source and a destination
    // rectangle, its first vertex's colour the texture's colour and alpha modulation.
    void SetCopies(const std::vector<pf::DeviceVertex>& v, int perQuad, int textureWidth, int textureHeight, float dx = 0,
                   float dy = 0) {
        copies_.clear();
        for (size_t q = 0; q + size_t(perQuad) <= v.size(); q += size_t(perQuad)) {
            float x0 = 1e30f, y0 = 1e30f, x1 = -1e30f, y1 = -1e30f, u0 = 1e30f, v0 = 1e30f, u1 = -1e30f, v1 = -1e30f;
            for (size_t k = q; k < q + size_t(perQuad); ++k) {
                x0 = std::min(x0, v[k].x), y0 = std::min(y0, v[k].y), x1 = std::max(x1, v[k].x), y1 = std::max(y1, v[k].y);
                u0 = std::min(u0, v[k].u), v0 = std::min(v0, v[k].v), u1 = std::max(u1, v[k].u), v1 = std::max(v1, v[k].v);
            }
            const auto px = [](float f) { return int(std::lround(f)); };
            Copy c;
            c.source = {px(u0 * float(textureWidth)), px(v0 * float(textureHeight)), px((u1 - u0) * float(textureWidth)),
                        px((v1 - v0) * float(textureHeight))};
            c.target = {px(x0 + dx), px(y0 + dy), px(x1 - x0), px(y1 - y0)};
            c.color = v[q].color;
            copies_.push_back(c);
        }
    }

    // One frame: cleared to the colour, the triangles drawn with the texture.
    bool Frame(SDL_Texture* texture, uint32_t clearArgb = 0xFF000000u) {
        Clear(clearArgb);
        const bool ok = SDL_RenderGeometry(renderer_, texture, vertices_.data(), int(vertices_.size()), indices_.data(),
                                           int(indices_.size())) == 0;
        SDL_RenderFlush(renderer_);
        return ok;
    }

    // One frame: cleared to the colour, the copies drawn from the texture.
    bool CopyFrame(SDL_Texture* texture, uint32_t clearArgb = 0xFF000000u) {
        Clear(clearArgb);
        bool ok = true;
        uint32_t modulation = 0xFFFFFFFFu;
        SDL_SetTextureColorMod(texture, 255, 255, 255);
        SDL_SetTextureAlphaMod(texture, 255);
        for (const Copy& c : copies_) {
            if (c.color != modulation) {
                modulation = c.color;
                SDL_SetTextureColorMod(texture, Uint8(c.color >> 16), Uint8(c.color >> 8), Uint8(c.color));
                SDL_SetTextureAlphaMod(texture, Uint8(c.color >> 24));
            }
            ok &= SDL_RenderCopy(renderer_, texture, &c.source, &c.target) == 0;
        }
        SDL_RenderFlush(renderer_);
        return ok;
    }

    // Draws a frame of the triangles and one of the copies and matches each with `ours`,
    // printing one line about both (`who`: what drew ours). False when a draw failed.
    struct Matches {
        PictureMatch triangles, copies;
    };
    bool MatchBoth(SDL_Texture* texture, const std::vector<uint32_t>& ours, const char* who, Matches& m) {
        bool drawn = Frame(texture);
        m.triangles = MatchPictures(ours, Picture(), 0xFF000000u);
        drawn &= CopyFrame(texture);
        m.copies = MatchPictures(ours, Picture(), 0xFF000000u);
        std::printf("pictures: %s drew over %.1f %% of the frame; SDL2's triangles %.1f %% (mean channel "
                    "difference %.2f), its copies %.1f %% (%.2f)\n",
                    who, m.triangles.oursDrawn * 100, m.triangles.peerDrawn * 100, m.triangles.meanDifference,
                    m.copies.peerDrawn * 100, m.copies.meanDifference);
        return drawn;
    }

    size_t Triangles() const { return indices_.size() / 3; }
    size_t Copies() const { return copies_.size(); }

    // The frame's pixels as 0xAARRGGBB.
    std::vector<uint32_t> Picture() {
        std::vector<uint32_t> px(size_t(frame_->w) * size_t(frame_->h));
        SDL_LockSurface(frame_);
        for (int y = 0; y < frame_->h; ++y)
            std::memcpy(&px[size_t(y) * size_t(frame_->w)], static_cast<const uint8_t*>(frame_->pixels) + y * frame_->pitch,
                        size_t(frame_->w) * 4);
        SDL_UnlockSurface(frame_);
        return px;
    }

private:
    void Clear(uint32_t argb) {
        SDL_SetRenderDrawColor(renderer_, Uint8(argb >> 16), Uint8(argb >> 8), Uint8(argb), Uint8(argb >> 24));
        SDL_RenderClear(renderer_);
    }
    struct Copy {
        SDL_Rect source, target;
        uint32_t color;
    };
    std::vector<Copy> copies_;
    SDL_Surface* frame_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    std::vector<SDL_Texture*> textures_;
    std::vector<SDL_Vertex> vertices_;
    std::vector<int> indices_;
};

// The display's back buffer after its last frame, as 0xAARRGGBB.
inline std::vector<uint32_t> BackBufferPicture(pf::DisplayDX& display, int width, int height) {
    my_intrusive_ptr<pf::DeviceSurface> bb = display.GetDevice()->GetBackBuffer();
    std::vector<uint32_t> px(size_t(width) * size_t(height));
    pf::LockedRect locked;
    if (!bb || bb->LockRect(nullptr, pf::LockReadOnly, locked) != pf::DeviceResult::Ok) return {};
    for (int y = 0; y < height; ++y)
        std::memcpy(&px[size_t(y) * size_t(width)], locked.bits + size_t(y) * size_t(locked.pitch), size_t(width) * 4);
    bb->UnlockRect();
    return px;
}

}  // namespace benchkit
