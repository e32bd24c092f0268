#include "shell/HugeSurface.h"

#include <algorithm>

#include "shell/Display.h"
#include "shell/foundation/Log.h"

namespace pf {

namespace {

int LargestPowerOfTwoAtMost(int n) {
    int p = 1;
    while (p <= n / 2) p *= 2;
    return p;
}

int TileSide(int remaining, int maximum, bool pow2Only) {
    int side = std::min(remaining, maximum);
    if (pow2Only) {
        side = std::max(side, 64);
        if (!IsPowerOfTwo(side)) side = LargestPowerOfTwoAtMost(side);
    }
    return side;
}

void Split(int x, int y, int w, int h, const TextureCaps& caps, std::vector<Rect>& out) {
    if (w < 0 || h < 0) return;
    const TileSize t = ComputeTileSize(w, h, caps.maxWidth, caps.maxHeight, caps.pow2Only);
    out.emplace_back(x, y, t.width, t.height);
    if (t.width >= w && t.height >= h) return;
    if (t.height == h) {
        Split(x + t.width, y, w - t.width, h, caps, out);
    } else if (t.width == w) {
        Split(x, y + t.height, w, h - t.height, caps, out);
    } else if (w > h) {
        Split(x + t.width, y, w - t.width, h, caps, out);
        Split(x, y + t.height, t.width, h - t.height, caps, out);
    } else {
        Split(x + t.width, y, w - t.width, t.height, caps, out);
        Split(x, y + t.height, w, h - t.height, caps, out);
    }
}

// The parts of a huge-surface draw; drawing happens on the main thread only.
thread_local std::vector<TileRecord> drawParts;

}  // namespace

TileSize ComputeTileSize(int remainingWidth, int remainingHeight, int maxWidth, int maxHeight,
                         bool pow2Only) {
    return {TileSide(remainingWidth, maxWidth, pow2Only), TileSide(remainingHeight, maxHeight, pow2Only)};
}

std::vector<Rect> SplitIntoTiles(int x, int y, int width, int height, const TextureCaps& caps) {
    std::vector<Rect> out;
    // A zero maximum would never finish; an empty image needs no tile.
    if (caps.maxWidth <= 0 || caps.maxHeight <= 0 || width <= 0 || height <= 0) return out;
    Split(x, y, width, height, caps, out);
    return out;
}

std::vector<TileRecord> CollectTiles(const std::vector<TileRecord>& tiles, const Rect& query) {
    std::vector<TileRecord> parts;
    for (const TileRecord& tile : tiles) {
        const Rect& ir = tile.imageRect;
        const int left = std::max(ir.x, query.x);
        const int top = std::max(ir.y, query.y);
        // Inclusive right and bottom edges, in wide arithmetic: a query from a caller may
        // reach to the end of the int range.
        const int64_t right = std::min(int64_t(ir.x) + ir.width, int64_t(query.x) + query.width) - 1;
        const int64_t bottom = std::min(int64_t(ir.y) + ir.height, int64_t(query.y) + query.height) - 1;
        if (right < left || bottom < top) continue;
        const int w = int(right - left + 1), h = int(bottom - top + 1);
        TileRecord part;
        part.surface = tile.surface;
        part.textureRect = Rect(left - ir.x + tile.textureRect.x, top - ir.y + tile.textureRect.y, w, h);
        part.imageRect = Rect(left - query.x, top - query.y, ir.width, ir.height);
        parts.push_back(std::move(part));
    }
    return parts;
}

HugeSurface::HugeSurface(const PixelView& image, Display& display)
    : width_(image.width), height_(image.height), bytesPerPixel_(image.bytesPerPixel),
      format_(image.format) {
    Build(image.data ? &image : nullptr, display);
}

HugeSurface::HugeSurface(int width, int height, int bytesPerPixel, PixelFormat format,
                         Display& display)
    : width_(width), height_(height), bytesPerPixel_(bytesPerPixel), format_(format) {
    Build(nullptr, display);
}

void HugeSurface::Build(const PixelView* image, Display& display) {
    lockMode_ = 0;
    const TextureCaps* caps = display.GetTextureCaps();
    if (!caps) {
        DebugStream() << "HugeSurface: the display has no texture caps";
        complete_ = false;
        return;
    }
    for (const Rect& r : SplitIntoTiles(0, 0, width_, height_, *caps)) {
        const bool edge = r.x + r.width > width_ || r.y + r.height > height_;
        SurfacePtr tile = (!image || edge)
                              ? display.CreateSurface(r.width, r.height, format_)
                              : display.CreateSurfaceFromImage(SubView(*image, r.x, r.y, r.width, r.height));
        if (!tile) {
            // Drawing and locking need every tile: an incomplete surface keeps none.
            DebugStream() << "HugeSurface: no texture for the tile " << r << " of a " << width_
                          << "x" << height_ << " image";
            tiles_.clear();
            complete_ = false;
            return;
        }
        // The surface describes its pixels as the textures keep them (a device may keep
        // a format in another layout): locks hand out the tiles' own bytes.
        if (tile->GetFormat() != format_) {
            format_ = tile->GetFormat();
            bytesPerPixel_ = BytesPerPixel(format_);
        }
        tile->SetName(L"part of HugeSurface");
        if (image && edge) {
            const Rect whole(0, 0, r.width, r.height);
            const PixelView locked = LockView(tile.get(), &whole, false, true);
            const PixelView part = SubView(*image, r.x, r.y, std::min(r.width, width_ - r.x),
                                           std::min(r.height, height_ - r.y));
            // The part of the image inside the tile, at the tile's top-left corner; the
            // sizes must match for a conversion.
            PixelView dst = SubView(locked, 0, 0, part.width, part.height);
            CopyOrConvertView(part, dst);
            tile->Unlock();
        }
        tiles_.push_back({tile, Rect(0, 0, r.width, r.height), r});
    }
}

void HugeSurface::Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) {
    pitch = 0;
    bits = nullptr;
    const Rect area = rect ? *rect : Rect(0, 0, width_, height_);
    // Only rectangles inside the image: a view reaching past it would reach past the
    // memory of the tile or buffer behind it.
    if (area.width <= 0 || area.height <= 0 || !RectInside(area, width_, height_)) return;
    lockParts_ = CollectTiles(tiles_, area);
    if (lockParts_.empty()) return;
    lockMode_ = mode;
    if (lockParts_.size() == 1) {
        TileRecord& part = lockParts_.front();
        part.surface->Lock(mode, &part.textureRect, pitch, bits);
        return;
    }
    lockBuffer_.Init(area.width, area.height, bytesPerPixel_, format_);
    lockView_ = lockBuffer_.GetView();
    if (mode & LockRead) {
        for (TileRecord& part : lockParts_) {
            const Rect& tr = part.textureRect;
            const PixelView src = LockView(part.surface.get(), &tr, true, false);
            PixelView dst = SubView(lockView_, part.imageRect.x, part.imageRect.y, tr.width, tr.height);
            CopyOrConvertView(src, dst);
            part.surface->Unlock();
        }
    }
    pitch = lockView_.pitch;
    bits = lockView_.data;
}

void HugeSurface::Unlock() {
    if (lockParts_.size() == 1) {
        lockParts_.front().surface->Unlock();
    } else if (lockMode_ & LockWrite) {
        for (TileRecord& part : lockParts_) {
            const Rect& tr = part.textureRect;
            const PixelView src = SubView(lockView_, part.imageRect.x, part.imageRect.y, tr.width, tr.height);
            PixelView dst = LockView(part.surface.get(), &tr, false, true);
            CopyOrConvertView(src, dst);
            part.surface->Unlock();
        }
    }
    lockParts_.clear();
    lockMode_ = 0;
}

void HugeSurface::Draw(Display* display, const Rect* source, const Rect* destination) {
    const Rect area = source ? *source : Rect(0, 0, width_, height_);
    const Rect dest = destination ? *destination : Rect(0, 0, width_, height_);
    drawParts = CollectTiles(tiles_, area);
    for (TileRecord& part : drawParts) {
        const Rect& tr = part.textureRect;
        const Rect to(dest.x + part.imageRect.x, dest.y + part.imageRect.y, tr.width, tr.height);
        part.surface->Draw(display, &tr, &to);
    }
    drawParts.clear();
}

}  // namespace pf
