// Surfaces and textures of the software rendering device, and their locking.
//
// A surface's pixels may be locked from any thread while the main thread draws: each
// surface has its own guard, held from LockRect to UnlockRect, and every draw that reads
// the surface (as a texture) or writes it (as the render target) holds the guard for the
// length of the call. Locks do not nest: the thread that holds a lock must unlock first.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "shell/foundation/RefCounter.h"
#include "shell/foundation/ValueTypes.h"
#include "shell/render/KeptPicture.h"
#include "shell/render/SoftDeviceTypes.h"

namespace pf {

// One texel of any format as 0xAARRGGBB. 4- and 5-bit channels widen by bit replication
// (a full channel gives 255); formats without alpha read alpha 255; A8 reads as white.
uint32_t DecodeTexel(const uint8_t* texel, DeviceFormat format);
// 0xAARRGGBB into one texel; narrowing keeps the top bits.
void EncodeTexel(uint8_t* texel, DeviceFormat format, uint32_t argb);

// What the rasteriser reads from a texture: 32-bit texels 0xAARRGGBB.
struct TexelView {
    const uint32_t* texels = nullptr;
    int width = 0, height = 0;
    int pitch = 0;           // in texels
    bool allOpaque = false;  // no texel has alpha below 255
};

class DeviceSurface : public RefCounter {
public:
    DeviceSurface(int width, int height, DeviceFormat format, uint32_t usage, MemoryPool pool);
    ~DeviceSurface() override;
    DeviceSurface(const DeviceSurface&) = delete;
    DeviceSurface& operator=(const DeviceSurface&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    DeviceFormat Format() const { return format_; }
    SurfaceDesc Desc() const;

    // Locks the whole surface (rect null) or a rectangle wholly inside it. A rectangle
    // that reaches outside, an empty one or a second lock by the same thread is refused
    // with InvalidCall and one log line. Another thread's lock is waited for.
    DeviceResult LockRect(const Rect* rect, uint32_t flags, LockedRect& out);
    // Ends the calling thread's lock; InvalidCall when it holds none.
    DeviceResult UnlockRect();

    // --- for the device ---
    // The pixels, a fill still owed written first (guard held).
    uint8_t* Bits() {
        SettleFill();
        return pixels_.get();
    }
    const uint8_t* Bits() const {
        SettleFill();
        return pixels_.get();
    }
    // A clear of the whole surface to one 0xAARRGGBB value (32-bit formats), owed until
    // the pixels are next reached (guard held). A draw that writes a rectangle row by
    // row can fill each of its rows just before it draws them (RawBits, while the rows
    // are in the cache) and leave the rest to SettleFillExcept.
    void OweFill(uint32_t argb);
    bool FillOwed() const { return fillOwed_; }
    uint32_t OwedFill() const { return owedFill_; }
    uint8_t* RawBits() { return pixels_.get(); }
    void SettleFill() const;
    void SettleFillExcept(int x0, int y0, int x1, int y1) const;
    int Pitch() const { return pitch_; }
    // Whether the calling thread holds this surface's lock.
    bool HeldByThisThread() const { return owner_.load() == std::this_thread::get_id(); }
    std::mutex& Guard() { return guard_; }
    // The 32-bit view the rasteriser samples; call with the guard held.
    TexelView SampleView();
    // Marks the pixels changed (by drawing into them); call with the guard held.
    void Touch() { ++version_; }
    // Fills the whole surface with one 0xAARRGGBB value (guard held).
    void Fill(uint32_t argb);
    // Forgets a clear owed to pixels that already hold its colour (guard held).
    void DropOwedFill() { fillOwed_ = false; }

    // The picture kept from the last draw of a picture scaled over a clear of this
    // surface (the back buffer's; see pf::KeptPicture). Guard held for all below.
    KeptPicture& Kept();
    // Whether only a clear is owed since the kept picture's last draw: the pixels are
    // as it left them.
    bool KeptHeld() const { return keptVersion_ != 0 && version_ == keptVersion_ + 1 && fillOwed_; }
    // After a draw through the kept picture (and its Touch): whether it wrote the whole
    // picture, or only the rectangles it gives.
    void NoteKeptDraw(bool whole) {
        keptBase_ = whole ? 0 : keptVersion_;
        keptVersion_ = version_;
    }
    // Which pixels changed since the surface was at version `since`: true with the
    // rectangles (none when nothing changed), false when not known (take all).
    bool ChangedSince(uint64_t since, std::vector<Rect>& rects) const;
    // Changes with every write of the pixels.
    uint64_t Version() const { return version_; }

private:
    int width_, height_;
    DeviceFormat format_;
    uint32_t usage_;
    MemoryPool pool_;
    int pitch_;
    std::unique_ptr<uint8_t[]> pixels_;
    mutable bool fillOwed_ = false;
    uint32_t owedFill_ = 0;

    std::mutex guard_;
    std::atomic<std::thread::id> owner_{};
    bool lockWrites_ = false;
    Rect lockRect_;

    // Changes on every write; the caches below remember the version they were built at.
    uint64_t version_ = 1;
    std::vector<uint32_t> shadow_;  // 32-bit copy of a texture of another format
    uint64_t shadowVersion_ = 0;
    bool allOpaque_ = false;
    uint64_t opaqueVersion_ = 0;
    std::unique_ptr<KeptPicture> kept_;
    // The version the kept picture's last draw left, and (when it drew only what
    // changed) the version it drew over; 0 for none.
    uint64_t keptVersion_ = 0, keptBase_ = 0;
};

class DeviceTexture : public RefCounter {
public:
    // levels 0 means the whole chain down to 1 x 1. Made by the device's CreateTexture.
    DeviceTexture(int width, int height, int levels, uint32_t usage, DeviceFormat format,
                  MemoryPool pool, std::shared_ptr<std::atomic<int>> defaultPoolCount);
    ~DeviceTexture() override;

    int LevelCount() const { return static_cast<int>(levels_.size()); }
    // Not counted: wrap in a counted pointer to keep it. Null for a level out of range.
    DeviceSurface* GetSurfaceLevel(int level) const;
    SurfaceDesc GetLevelDesc(int level) const;
    DeviceResult LockRect(int level, const Rect* rect, uint32_t flags, LockedRect& out);
    DeviceResult UnlockRect(int level);

private:
    std::vector<my_intrusive_ptr<DeviceSurface>> levels_;
    std::shared_ptr<std::atomic<int>> defaultPoolCount_;
};

// Copies rectangles of src to points of dst, converting when the formats differ.
// rects null: the whole source; points null: the same places as the rectangles. Every
// rectangle must lie inside src and land inside dst, and src must differ from dst;
// otherwise nothing is copied and InvalidCall is answered with one log line.
DeviceResult CopySurfaceRects(DeviceSurface* src, const Rect* rects, int count,
                              DeviceSurface* dst, const Point* points);

}  // namespace pf
