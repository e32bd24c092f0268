// An image larger than one texture, cut into texture tiles once when it is built.
#pragma once

#include <vector>

#include "shell/pixels/MemorySurface.h"
#include "shell/pixels/Surface.h"

namespace pf {

struct TextureCaps;

// A tile, or the part of a tile that a rectangle touches.
struct TileRecord {
    SurfacePtr surface;  // the tile's texture surface
    Rect textureRect;    // inside the tile's texture
    // For a stored tile: its position and size in the image. For a part: the overlap's
    // origin relative to the query's origin, with the tile's width and height.
    Rect imageRect;
};

struct TileSize {
    int width = 0;
    int height = 0;
};

// The tile size for the remaining area; with pow2Only each side is at least 64 and a
// power of two (so a tile may reach past a narrow remaining area).
TileSize ComputeTileSize(int remainingWidth, int remainingHeight, int maxWidth, int maxHeight,
                         bool pow2Only);
// Depth first, corner tile first. Caps without a positive maximum size yield nothing.
std::vector<Rect> SplitIntoTiles(int x, int y, int width, int height, const TextureCaps& caps);
// The parts of the tiles that the query rect overlaps, in tile order.
std::vector<TileRecord> CollectTiles(const std::vector<TileRecord>& tiles, const Rect& query);

class HugeSurface : public Surface {
public:
    // Tiles filled from the image's pixels.
    HugeSurface(const PixelView& image, Display& display);
    // Every tile created empty.
    HugeSurface(int width, int height, int bytesPerPixel, PixelFormat format, Display& display);

    // False when the display could not create every tile; such a surface draws nothing
    // and refuses every lock.
    bool IsComplete() const { return complete_; }
    const std::vector<TileRecord>& GetTiles() const { return tiles_; }

    int GetWidth() const override { return width_; }
    int GetHeight() const override { return height_; }
    PixelFormat GetFormat() const override { return format_; }
    void Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) override;
    void Unlock() override;
    // Always 1:1: only the destination's position is used.
    void Draw(Display* display, const Rect* source, const Rect* destination) override;

private:
    void Build(const PixelView* image, Display& display);

    std::vector<TileRecord> tiles_;
    int width_ = 0;
    int height_ = 0;
    int bytesPerPixel_ = 0;
    PixelFormat format_ = PixelFormat::Default;
    bool complete_ = true;
    std::vector<TileRecord> lockParts_;
    MemorySurface lockBuffer_;
    PixelView lockView_;
    int lockMode_ = 0;
};

}  // namespace pf
