// A surface whose pixels live in system memory.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "shell/pixels/Surface.h"

namespace pf {

class MemorySurface : public Surface {
public:
    MemorySurface() = default;
    // A8R8G8B8, 4 bytes a pixel, zeroed.
    MemorySurface(int width, int height);
    // A copy of the image's pixels in its own format.
    explicit MemorySurface(const PixelView& image);

    // Resizes the buffer to width x height x bytesPerPixel bytes (new bytes 0), sets the
    // view and returns its pitch. Negative sizes are taken as 0.
    int Init(int width, int height, int bytesPerPixel, PixelFormat format);
    // The same for a caller that writes every byte of the view before anything reads it
    // (a decoder into a surface it drops on failure): new bytes are not cleared first.
    int InitUnfilled(int width, int height, int bytesPerPixel, PixelFormat format);
    PixelView GetView() const { return view_; }
    // Exchanges the pixels (not the reference counts) with another memory surface.
    void Swap(MemorySurface& other) {
        std::swap(view_, other.view_);
        buffer_.swap(other.buffer_);
    }

    int GetWidth() const override { return view_.width; }
    int GetHeight() const override { return view_.height; }
    PixelFormat GetFormat() const override { return view_.format; }
    // The mode is ignored. A rect that does not lie inside the surface locks nothing.
    void Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) override;
    void Unlock() override {}
    // A memory surface cannot be drawn.
    void Draw(Display* display, const Rect* source, const Rect* destination) override {}

private:
    // Bytes whose growth leaves them as they are: InitUnfilled does not pay for clearing.
    template <typename T>
    struct UnclearedAllocator : std::allocator<T> {
        template <typename U>
        struct rebind {
            using other = UnclearedAllocator<U>;
        };
        UnclearedAllocator() = default;
        template <typename U>
        UnclearedAllocator(const UnclearedAllocator<U>&) {}  // NOLINT: as std::allocator
        template <typename U>
        void construct(U* p) {
            ::new (static_cast<void*>(p)) U;
        }
        template <typename U, typename... Args>
        void construct(U* p, Args&&... args) {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
    };
    int Resize(int width, int height, int bytesPerPixel, PixelFormat format, bool clear);

    PixelView view_;
    std::vector<uint8_t, UnclearedAllocator<uint8_t>> buffer_;
};

}  // namespace pf
