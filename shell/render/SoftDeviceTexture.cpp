#include "shell/render/SoftDeviceTexture.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "shell/foundation/Log.h"

namespace pf {

int DeviceFormatBytes(DeviceFormat format) {
    switch (format) {
        case DeviceFormat::A8R8G8B8:
        case DeviceFormat::X8R8G8B8: return 4;
        case DeviceFormat::R5G6B5:
        case DeviceFormat::A4R4G4B4:
        case DeviceFormat::A1R5G5B5: return 2;
        case DeviceFormat::A8: return 1;
        case DeviceFormat::R8G8B8: return 3;
        default: return 0;
    }
}

bool DeviceFormatHasAlpha(DeviceFormat format) {
    return format == DeviceFormat::A8R8G8B8 || format == DeviceFormat::A4R4G4B4 ||
           format == DeviceFormat::A1R5G5B5 || format == DeviceFormat::A8;
}

const char* DeviceFormatName(DeviceFormat format) {
    switch (format) {
        case DeviceFormat::A8R8G8B8: return "A8R8G8B8";
        case DeviceFormat::X8R8G8B8: return "X8R8G8B8";
        case DeviceFormat::R5G6B5: return "R5G6B5";
        case DeviceFormat::A4R4G4B4: return "A4R4G4B4";
        case DeviceFormat::A1R5G5B5: return "A1R5G5B5";
        case DeviceFormat::A8: return "A8";
        case DeviceFormat::R8G8B8: return "R8G8B8";
        default: return "unknown";
    }
}

const char* DeviceResultName(DeviceResult r) {
    switch (r) {
        case DeviceResult::Ok: return "ok";
        case DeviceResult::DeviceLost: return "device lost";
        case DeviceResult::DeviceNotReset: return "device not reset";
        case DeviceResult::InvalidCall: return "invalid call";
        case DeviceResult::OutOfMemory: return "out of memory";
        case DeviceResult::NotAvailable: return "not available";
    }
    return "unknown";
}

namespace {

inline uint16_t Load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline void Store16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }
inline uint32_t Expand6(uint32_t v) { return (v << 2) | (v >> 4); }
inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

bool RectInside(const Rect& r, int width, int height) {
    return r.width > 0 && r.height > 0 && r.x >= 0 && r.y >= 0 && r.x <= width - r.width &&
           r.y <= height - r.height;
}

}  // namespace

uint32_t DecodeTexel(const uint8_t* t, DeviceFormat format) {
    switch (format) {
        case DeviceFormat::A8R8G8B8: return Argb(t[3], t[2], t[1], t[0]);
        case DeviceFormat::X8R8G8B8: return Argb(255, t[2], t[1], t[0]);
        case DeviceFormat::R8G8B8: return Argb(255, t[2], t[1], t[0]);
        case DeviceFormat::A8: return uint32_t(t[0]) << 24 | 0xFFFFFFu;
        case DeviceFormat::R5G6B5: {
            uint32_t v = Load16(t);
            return Argb(255, Expand5(v >> 11), Expand6((v >> 5) & 63), Expand5(v & 31));
        }
        case DeviceFormat::A4R4G4B4: {
            uint32_t v = Load16(t);
            return Argb((v >> 12) * 17, ((v >> 8) & 15) * 17, ((v >> 4) & 15) * 17, (v & 15) * 17);
        }
        case DeviceFormat::A1R5G5B5: {
            uint32_t v = Load16(t);
            return Argb(v & 0x8000 ? 255 : 0, Expand5((v >> 10) & 31), Expand5((v >> 5) & 31),
                        Expand5(v & 31));
        }
        default: return 0;
    }
}

void EncodeTexel(uint8_t* t, DeviceFormat format, uint32_t c) {
    const uint32_t a = c >> 24, r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
    switch (format) {
        case DeviceFormat::A8R8G8B8: std::memcpy(t, &c, 4); break;
        case DeviceFormat::X8R8G8B8: c |= 0xFF000000u; std::memcpy(t, &c, 4); break;
        case DeviceFormat::R8G8B8: t[0] = uint8_t(b); t[1] = uint8_t(g); t[2] = uint8_t(r); break;
        case DeviceFormat::A8: t[0] = uint8_t(a); break;
        case DeviceFormat::R5G6B5: Store16(t, (r >> 3) << 11 | (g >> 2) << 5 | b >> 3); break;
        case DeviceFormat::A4R4G4B4: Store16(t, (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4); break;
        case DeviceFormat::A1R5G5B5:
            Store16(t, (a >= 128 ? 0x8000u : 0u) | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
            break;
        default: break;
    }
}

// ---------------------------------------------------------------------------------------
// DeviceSurface

DeviceSurface::DeviceSurface(int width, int height, DeviceFormat format, uint32_t usage,
                             MemoryPool pool)
    : width_(width), height_(height), format_(format), usage_(usage), pool_(pool) {
    // Rows of whole 32-bit words keep every row of a 32-bit surface aligned.
    pitch_ = (width * DeviceFormatBytes(format) + 3) & ~3;
    const size_t bytes = size_t(pitch_) * size_t(height);
    pixels_.reset(new uint8_t[bytes ? bytes : 1]);
    std::memset(pixels_.get(), 0, bytes);
    if (format == DeviceFormat::X8R8G8B8) Fill(0xFF000000u);
}

DeviceSurface::~DeviceSurface() = default;

SurfaceDesc DeviceSurface::Desc() const {
    SurfaceDesc d;
    d.width = width_;
    d.height = height_;
    d.format = format_;
    d.usage = usage_;
    d.pool = pool_;
    return d;
}

DeviceResult DeviceSurface::LockRect(const Rect* rect, uint32_t flags, LockedRect& out) {
    out = LockedRect();
    const Rect r = rect ? *rect : Rect(0, 0, width_, height_);
    if (!RectInside(r, width_, height_)) {
        DebugStream() << "DeviceSurface::LockRect refused: rectangle " << r << " is not inside the "
                      << width_ << " x " << height_ << " surface";
        return DeviceResult::InvalidCall;
    }
    if (HeldByThisThread()) {
        DebugStream() << "DeviceSurface::LockRect refused: the surface is already locked by this thread";
        return DeviceResult::InvalidCall;
    }
    guard_.lock();
    owner_.store(std::this_thread::get_id());
    lockWrites_ = (flags & LockReadOnly) == 0;
    lockRect_ = r;
    SettleFill();
    out.pitch = pitch_;
    out.bits = pixels_.get() + size_t(r.y) * size_t(pitch_) + size_t(r.x) * DeviceFormatBytes(format_);
    return DeviceResult::Ok;
}

DeviceResult DeviceSurface::UnlockRect() {
    if (!HeldByThisThread()) {
        DebugStream() << "DeviceSurface::UnlockRect: the surface is not locked by this thread";
        return DeviceResult::InvalidCall;
    }
    if (lockWrites_) {
        if (format_ == DeviceFormat::X8R8G8B8) {
            // Whatever the caller left in the unused byte, alpha reads 255.
            for (int y = lockRect_.y; y < lockRect_.y + lockRect_.height; ++y) {
                uint32_t* row = reinterpret_cast<uint32_t*>(pixels_.get() + size_t(y) * pitch_) + lockRect_.x;
                for (int x = 0; x < lockRect_.width; ++x) row[x] |= 0xFF000000u;
            }
        }
        ++version_;
    }
    owner_.store(std::thread::id());
    guard_.unlock();
    return DeviceResult::Ok;
}

TexelView DeviceSurface::SampleView() {
    SettleFill();
    TexelView v;
    v.width = width_;
    v.height = height_;
    if (format_ == DeviceFormat::A8R8G8B8 || format_ == DeviceFormat::X8R8G8B8) {
        v.texels = reinterpret_cast<const uint32_t*>(pixels_.get());
        v.pitch = pitch_ / 4;
    } else {
        if (shadowVersion_ != version_) {
            shadow_.resize(size_t(width_) * height_);
            const int bpp = DeviceFormatBytes(format_);
            for (int y = 0; y < height_; ++y) {
                const uint8_t* src = pixels_.get() + size_t(y) * pitch_;
                uint32_t* dst = shadow_.data() + size_t(y) * width_;
                for (int x = 0; x < width_; ++x) dst[x] = DecodeTexel(src + x * bpp, format_);
            }
            shadowVersion_ = version_;
        }
        v.texels = shadow_.data();
        v.pitch = width_;
    }
    if (opaqueVersion_ != version_) {
        bool opaque = true;
        if (DeviceFormatHasAlpha(format_)) {
            for (int y = 0; y < height_ && opaque; ++y) {
                const uint32_t* row = v.texels + size_t(y) * v.pitch;
                uint32_t all = 0xFF000000u;
                for (int x = 0; x < width_; ++x) all &= row[x];
                opaque = (all >> 24) == 255;
            }
        }
        allOpaque_ = opaque;
        opaqueVersion_ = version_;
    }
    v.allOpaque = allOpaque_;
    return v;
}

KeptPicture& DeviceSurface::Kept() {
    if (!kept_) kept_ = std::make_unique<KeptPicture>();
    return *kept_;
}

bool DeviceSurface::ChangedSince(uint64_t since, std::vector<Rect>& rects) const {
    rects.clear();
    if (since == version_) return true;
    if (!kept_ || keptVersion_ != version_ || keptBase_ == 0 || keptBase_ != since) return false;
    rects = kept_->Written();
    return true;
}

void DeviceSurface::OweFill(uint32_t argb) {
    fillOwed_ = DeviceFormatBytes(format_) == 4;
    if (!fillOwed_) {
        Fill(argb);
        return;
    }
    owedFill_ = format_ == DeviceFormat::X8R8G8B8 ? argb | 0xFF000000u : argb;
    ++version_;
}

void DeviceSurface::SettleFill() const { SettleFillExcept(0, 0, 0, 0); }

void DeviceSurface::SettleFillExcept(int x0, int y0, int x1, int y1) const {
    if (!fillOwed_) return;
    fillOwed_ = false;
    static_assert(sizeof(wchar_t) == sizeof(uint32_t), "wmemset fills 32-bit pixels");
    const wchar_t fill = wchar_t(owedFill_);
    auto row = [&](int y) { return reinterpret_cast<wchar_t*>(pixels_.get() + size_t(y) * size_t(pitch_)); };
    const bool empty = x0 >= x1 || y0 >= y1;
    for (int y = 0; y < height_; ++y) {
        if (empty || y < y0 || y >= y1) {
            std::wmemset(row(y), fill, size_t(width_));
        } else {
            std::wmemset(row(y), fill, size_t(std::max(x0, 0)));
            if (x1 < width_) std::wmemset(row(y) + x1, fill, size_t(width_ - x1));
        }
    }
}

void DeviceSurface::Fill(uint32_t argb) {
    fillOwed_ = false;
    if (DeviceFormatBytes(format_) == 4) {
        if (format_ == DeviceFormat::X8R8G8B8) argb |= 0xFF000000u;
        for (int y = 0; y < height_; ++y) {
            uint32_t* row = reinterpret_cast<uint32_t*>(pixels_.get() + size_t(y) * pitch_);
            std::fill_n(row, width_, argb);
        }
    } else {
        const int bpp = DeviceFormatBytes(format_);
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) EncodeTexel(pixels_.get() + size_t(y) * pitch_ + x * bpp, format_, argb);
    }
    ++version_;
}

// ---------------------------------------------------------------------------------------
// DeviceTexture

DeviceTexture::DeviceTexture(int width, int height, int levels, uint32_t usage,
                             DeviceFormat format, MemoryPool pool,
                             std::shared_ptr<std::atomic<int>> defaultPoolCount)
    : defaultPoolCount_(std::move(defaultPoolCount)) {
    int w = width, h = height;
    for (int i = 0; levels == 0 || i < levels; ++i) {
        levels_.emplace_back(new DeviceSurface(w, h, format, usage, pool));
        if (w == 1 && h == 1) break;
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
    if (defaultPoolCount_) ++*defaultPoolCount_;
}

DeviceTexture::~DeviceTexture() {
    if (defaultPoolCount_) --*defaultPoolCount_;
}

DeviceSurface* DeviceTexture::GetSurfaceLevel(int level) const {
    if (level < 0 || level >= LevelCount()) return nullptr;
    return levels_[size_t(level)].get();
}

SurfaceDesc DeviceTexture::GetLevelDesc(int level) const {
    DeviceSurface* s = GetSurfaceLevel(level);
    return s ? s->Desc() : SurfaceDesc();
}

DeviceResult DeviceTexture::LockRect(int level, const Rect* rect, uint32_t flags, LockedRect& out) {
    out = LockedRect();
    DeviceSurface* s = GetSurfaceLevel(level);
    if (!s) {
        DebugStream() << "DeviceTexture::LockRect: no level " << level;
        return DeviceResult::InvalidCall;
    }
    return s->LockRect(rect, flags, out);
}

DeviceResult DeviceTexture::UnlockRect(int level) {
    DeviceSurface* s = GetSurfaceLevel(level);
    return s ? s->UnlockRect() : DeviceResult::InvalidCall;
}

// ---------------------------------------------------------------------------------------
// CopyRects

DeviceResult CopySurfaceRects(DeviceSurface* src, const Rect* rects, int count,
                              DeviceSurface* dst, const Point* points) {
    if (!src || !dst || src == dst || (rects && count < 0)) {
        DebugStream() << "CopyRects refused: missing or identical surfaces";
        return DeviceResult::InvalidCall;
    }
    const Rect whole(0, 0, src->Width(), src->Height());
    const int n = rects ? count : 1;
    for (int i = 0; i < n; ++i) {
        const Rect& r = rects ? rects[i] : whole;
        const Point p = points ? points[i] : Point(r.x, r.y);
        if (!RectInside(r, src->Width(), src->Height()) ||
            !RectInside(Rect(p.x, p.y, r.width, r.height), dst->Width(), dst->Height())) {
            DebugStream() << "CopyRects refused: rectangle " << r << " to " << p
                          << " does not fit the " << src->Width() << " x " << src->Height()
                          << " source and the " << dst->Width() << " x " << dst->Height()
                          << " destination";
            return DeviceResult::InvalidCall;
        }
    }
    if (src->HeldByThisThread() || dst->HeldByThisThread()) {
        DebugStream() << "CopyRects refused: a surface is locked by this thread";
        return DeviceResult::InvalidCall;
    }
    std::scoped_lock both(src->Guard(), dst->Guard());
    const int sb = DeviceFormatBytes(src->Format()), db = DeviceFormatBytes(dst->Format());
    for (int i = 0; i < n; ++i) {
        const Rect& r = rects ? rects[i] : whole;
        const Point p = points ? points[i] : Point(r.x, r.y);
        for (int y = 0; y < r.height; ++y) {
            const uint8_t* s = src->Bits() + size_t(r.y + y) * src->Pitch() + size_t(r.x) * sb;
            uint8_t* d = dst->Bits() + size_t(p.y + y) * dst->Pitch() + size_t(p.x) * db;
            if (src->Format() == dst->Format()) {
                std::memcpy(d, s, size_t(r.width) * sb);
            } else {
                for (int x = 0; x < r.width; ++x)
                    EncodeTexel(d + x * db, dst->Format(), DecodeTexel(s + x * sb, src->Format()));
            }
        }
    }
    dst->Touch();
    return DeviceResult::Ok;
}

}  // namespace pf
