// An image resource: one surface cut into loops (rows) x cels (columns), loaded at once
// or deferred behind a proxy surface until a loading worker or the first drawing loads it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "content/ResID.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/ProxySurface.h"
#include "shell/pixels/Surface.h"
#include "shell/foundation/VectorMath.h"

class ResAnim;

// "8888", "888", "565", "4444", "1555" name formats; any other name asks for A8R8G8B8,
// "" for the loader's default.
pf::PixelFormat PixelFormatFromName(const std::wstring& name);

// The stand-in of a deferred anim: its declared size, loading the anim on first use.
class ProxySurfaceAutoRestore : public pf::ProxySurface {
public:
    ProxySurfaceAutoRestore(int width, int height, ResAnim* owner, pf::FileSystem* fs, pf::ImageLoader* loader,
                            pf::Display* display);

    // The owner is going away: later uses draw nothing and log a warning.
    void Detach();
    // The image became (or stopped being) the inner surface.
    void SetImage(pf::Surface* image);

    int GetWidth() const override { return width_; }
    int GetHeight() const override { return height_; }
    pf::PixelFormat GetFormat() const override { return format_.load(std::memory_order_acquire); }
    // Lock and Draw load the owner first. Rectangles are the proxy's (its declared size);
    // any part outside the loaded image is refused, so an image smaller than declared
    // is never read or drawn past its edges.
    void Lock(int mode, const pf::Rect* rect, int& pitch, uint8_t*& bits) override;
    void Unlock() override;
    void Draw(pf::Display* display, const pf::Rect* source, const pf::Rect* destination) override;

private:
    // False when there is no usable inner surface for the rect.
    bool EnsureLoaded(const pf::Rect* rect);

    const int width_;
    const int height_;
    std::atomic<pf::PixelFormat> format_{pf::PixelFormat::A8R8G8B8};
    std::mutex ownerLock_;  // owner_ and the load it starts
    ResAnim* owner_;
    pf::FileSystem* fs_;
    pf::ImageLoader* loader_;
    pf::Display* display_;
    bool locked_ = false;
};

class ResAnim : public Res {
public:
    ResAnim();
    ~ResAnim() override;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::ResAnim || typeId == TypeId::Base; }

    // Far more cels than any sprite sheet has; a grid past it comes from a broken file.
    static constexpr int64_t kMaxCels = 1 << 14;

    void LoadDeferred(pf::FileSystem* fs, pf::Display* display, pf::ImageLoader* loader) override;
    // False only while a deferred anim waits for its image.
    virtual bool IsLoaded() const;
    // surface becomes current, cut into rows x columns cels.
    virtual bool SetSurface(pf::Display* display, const pf::SurfacePtr& surface, int columns, int rows);
    // Builds the anim from an IMAGE descriptor, at once or deferred behind a proxy of
    // width x height. A missing or undecodable file gives the noise stand-in; false only
    // when no surface could be made.
    virtual bool Init(pf::ImageLoader* loader, pf::FileSystem* fs, pf::Display* display, const ResID* descriptor,
                      bool deferred, int width, int height);
    // Cuts the current surface; more than kMaxCels cels are refused (one cel then).
    virtual void createCels(int columns, int rows);
    // Re-decodes the file when its time changed; the pixels are replaced only when the
    // size and format are unchanged.
    virtual void ReloadIfChanged(pf::ImageLoader* loader, pf::FileSystem* fs, pf::Display* display);
    // A new anim (owned by the caller) whose one cel is rect of this anim's surface,
    // clipped to it.
    virtual ResAnim* CreateFromRect(pf::Display* display, const pf::Rect& rect);
    // Loads a deferred anim now; once, however many threads ask.
    virtual void Load(pf::ImageLoader* loader, pf::FileSystem* fs, pf::Display* display);
    // A loaded deferred anim lets its image go; the next drawing loads it again.
    virtual void unload();
    // The cel at (column + row x cels) modulo the cel count (never negative); null
    // without cels. Not counted.
    virtual pf::Surface* getCel(int row, int column);
    virtual int GetWidth() const;
    virtual int GetHeight() const;
    virtual void SetColorTransform(const pf::MatrixT&) {}
    virtual pf::SurfacePtr GetSurface() const;
    virtual int GetNumCels() const { return cels_; }
    virtual int GetNumLoops() const { return loops_; }

    const pf::Point& GetPos() const { return pos_; }
    void SetPos(const pf::Point& pos) { pos_ = pos; }
    const pf::Point& GetCropOffset() const { return cropOffset_; }
    int64_t GetFileTime() const { return fileTime_; }

    // Decodes the descriptor's file (and its alpha mask) into out.
    static bool LoadImageFile(pf::MemorySurface& out, pf::ImageLoader* loader, pf::FileSystem* fs,
                              pf::Display* display, const ResID& descriptor);
    static void LogLoadError(const ResID& descriptor);
    // The 256 x 256 blurred noise with the id and path written on it.
    static void MakeMissingImage(pf::MemorySurface& out, pf::Display* display, const ResID& descriptor);
    // Last-write time of a loose file in the resource folder (ns since the epoch); 0 when
    // it cannot be read (an archive entry has none).
    static int64_t ReadFileTime(pf::FileSystem* fs, const std::wstring& path);

private:
    friend class ProxySurfaceAutoRestore;

    // Loads when not loaded; true when this call loaded the image.
    bool LoadOnce(pf::ImageLoader* loader, pf::FileSystem* fs, pf::Display* display);
    // A texture of the whole image, or tiles when it does not fit one.
    static pf::SurfacePtr MakeDisplaySurface(pf::MemorySurface& image, pf::Display* display);

    int loops_ = 0;
    int cels_ = 0;
    std::vector<pf::SurfacePtr> celList_;
    mutable std::mutex surfaceLock_;  // surface_
    pf::SurfacePtr surface_;
    bool hasDescriptor_ = false;  // made from a file: ownDescriptor_ describes it
    pf::Point cropOffset_;
    pf::Point pos_;
    my_intrusive_ptr<ProxySurfaceAutoRestore> proxy_;
    ResID ownDescriptor_;  // a copy: the caller's descriptor may go before the anim
    int64_t fileTime_ = 0;
    std::mutex loadLock_;  // one load at a time; guards image_
    pf::SurfacePtr image_;  // the loaded image of a deferred anim
    std::atomic<bool> loaded_{false};
    std::atomic<bool> loadFailed_{false};
};
