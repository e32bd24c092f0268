#include "content/ResAnim.h"


#include <algorithm>

#include "content/MissingImage.h"
#include "shell/CellSurface.h"
#include "shell/Display.h"
#include "shell/FileSystem.h"
#include "shell/HugeSurface.h"
#include "shell/ImageKernels.h"
#include "shell/ImageLoader.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/LocalFiles.h"
#include "shell/platform/PathResolve.h"

using pf::Display;
using pf::FileSystem;
using pf::ImageLoader;
using pf::MemorySurface;
using pf::PixelFormat;
using pf::Rect;
using pf::Surface;
using pf::SurfacePtr;

// ---------------------------------------------------------------- pixel-format names

PixelFormat PixelFormatFromName(const std::wstring& wide) {
    const std::string name = pf::ToString(wide);
    if (name.empty()) return PixelFormat::Default;
    if (name == "888") return PixelFormat::B8G8R8;
    if (name == "565") return PixelFormat::R5G6B5;
    if (name == "4444") return PixelFormat::A4R4G4B4;
    if (name == "1555") return PixelFormat::A1R5G5B5;
    return PixelFormat::A8R8G8B8;
}

// ---------------------------------------------------------------- ProxySurfaceAutoRestore

ProxySurfaceAutoRestore::ProxySurfaceAutoRestore(int width, int height, ResAnim* owner, FileSystem* fs,
                                                 ImageLoader* loader, Display* display)
    : ProxySurface(width, height),
      width_(std::max(0, width)),
      height_(std::max(0, height)),
      owner_(owner),
      fs_(fs),
      loader_(loader),
      display_(display) {}

void ProxySurfaceAutoRestore::Detach() {
    std::lock_guard<std::mutex> hold(ownerLock_);
    owner_ = nullptr;
    ProxySurface::SetSurface(nullptr);
}

void ProxySurfaceAutoRestore::SetImage(Surface* image) {
    ProxySurface::SetSurface(image);
    format_.store(image ? image->GetFormat() : PixelFormat::A8R8G8B8, std::memory_order_release);
}

bool ProxySurfaceAutoRestore::EnsureLoaded(const Rect* rect) {
    std::lock_guard<std::mutex> hold(ownerLock_);
    if (!owner_) {
        pf::LogWrite(L"warning! ProxySurface can't be restored, because ResAnim was deleted\n");
        return false;
    }
    if (!owner_->IsLoaded() && !owner_->loadFailed_.load(std::memory_order_acquire)) {
        if (owner_->LoadOnce(loader_, fs_, display_))
            pf::LogWrite(L"warning! ResAnim was not preloaded, id: " + owner_->GetId() + L"\n");
    }
    Surface* inner = GetSurface();
    if (!owner_->IsLoaded() || !inner) return false;
    const Rect area = rect ? *rect : Rect(0, 0, width_, height_);
    return pf::RectInside(area, inner->GetWidth(), inner->GetHeight());
}

void ProxySurfaceAutoRestore::Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) {
    pitch = 0;
    bits = nullptr;
    locked_ = EnsureLoaded(rect);
    if (!locked_) return;
    const Rect area = rect ? *rect : Rect(0, 0, width_, height_);
    ProxySurface::Lock(mode, &area, pitch, bits);
}

void ProxySurfaceAutoRestore::Unlock() {
    if (locked_) ProxySurface::Unlock();
    locked_ = false;
}

void ProxySurfaceAutoRestore::Draw(Display* display, const Rect* source, const Rect* destination) {
    if (EnsureLoaded(source)) ProxySurface::Draw(display, source, destination);
}

// ---------------------------------------------------------------- ResAnim

ResAnim::ResAnim() { SetName(L"ResAnim"); }

ResAnim::~ResAnim() {
    if (proxy_) proxy_->Detach();
    proxy_.reset();
    surface_.reset();
    image_.reset();
    celList_.clear();
}

void ResAnim::LoadDeferred(FileSystem* fs, Display* display, ImageLoader* loader) {
    Load(loader, fs, display);
}

bool ResAnim::IsLoaded() const { return !proxy_ || loaded_.load(std::memory_order_acquire); }

SurfacePtr ResAnim::GetSurface() const {
    std::lock_guard<std::mutex> hold(surfaceLock_);
    return surface_;
}

bool ResAnim::SetSurface(Display*, const SurfacePtr& surface, int columns, int rows) {
    {
        std::lock_guard<std::mutex> hold(surfaceLock_);
        surface_ = surface;
    }
    createCels(columns, rows);
    return true;
}

void ResAnim::createCels(int columns, int rows) {
    celList_.clear();
    loops_ = rows;
    cels_ = columns;
    const SurfacePtr surface = GetSurface();
    if (!surface || columns < 1 || rows < 1) return;
    if (columns == 1 && rows == 1) {
        celList_.push_back(surface);
        return;
    }
    const int width = surface->GetWidth(), height = surface->GetHeight();
    // Never more cels than pixels on a side: every cel is at least one pixel and inside.
    columns = std::min(columns, std::max(1, width));
    rows = std::min(rows, std::max(1, height));
    if (int64_t(columns) * rows > kMaxCels) {
        pf::DebugStream() << L"ResAnim '" << GetId() << L"': " << columns << L" x " << rows
                          << L" cels are too many; it is drawn as one";
        columns = rows = 1;
    }
    cels_ = columns;
    loops_ = rows;
    if (columns == 1 && rows == 1) {
        celList_.push_back(surface);
        return;
    }
    const int celWidth = width / columns, celHeight = height / rows;
    celList_.reserve(size_t(columns) * size_t(rows));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            celList_.emplace_back(new pf::CellSurface(surface, Rect(c * celWidth, r * celHeight, celWidth, celHeight)));
}

Surface* ResAnim::getCel(int row, int column) {
    if (celList_.empty()) return nullptr;
    const int64_t count = int64_t(celList_.size());
    int64_t index = (int64_t(column) + int64_t(row) * cels_) % count;
    if (index < 0) index += count;
    return celList_[size_t(index)].get();
}

int ResAnim::GetWidth() const { return celList_.empty() ? 0 : celList_[0]->GetWidth(); }
int ResAnim::GetHeight() const { return celList_.empty() ? 0 : celList_[0]->GetHeight(); }

SurfacePtr ResAnim::MakeDisplaySurface(MemorySurface& image, Display* display) {
    if (!display) return nullptr;
    const pf::PixelView view = image.GetView();
    if (pf::FitsInTexture(*display, view.width, view.height)) return display->CreateSurfaceFromImage(view);
    my_intrusive_ptr<pf::HugeSurface> huge(new pf::HugeSurface(view, *display));
    if (!huge->IsComplete()) return nullptr;
    return SurfacePtr(huge.get());
}

bool ResAnim::Init(ImageLoader* loader, FileSystem* fs, Display* display, const ResID* descriptor, bool deferred,
                   int width, int height) {
    if (!descriptor) return false;
    ownDescriptor_ = *descriptor;
    hasDescriptor_ = true;
    const ResID& d = ownDescriptor_;
    int loops = WToI(d.params[kImageLoops]), cels = WToI(d.params[kImageCels]);
    if (loops == 0) loops = 1;
    if (cels == 0) cels = 1;
    const Rect crop = pf::ToRect(d.params[kImageCrop]);
    cropOffset_ = pf::Point(crop.x, crop.y);
    pos_ = pf::ToPoint(d.params[kImagePos]);

    if (deferred) {
        if (proxy_) proxy_->Detach();
        proxy_ = new ProxySurfaceAutoRestore(width, height, this, fs, loader, display);
        loaded_.store(false, std::memory_order_release);
        loadFailed_.store(false, std::memory_order_release);
        SetSurface(display, SurfacePtr(proxy_.get()), cels, loops);
        return true;
    }

    MemorySurface image;
    if (!LoadImageFile(image, loader, fs, display, d)) {
        LogLoadError(d);
        MakeMissingImage(image, display, d);
    }
    fileTime_ = ReadFileTime(fs, d.path);
    SurfacePtr surface;
    if (WToI(d.params[kImageSingleTexture]) != 0) {
        if (display) surface = display->CreateSurfaceFromImage(image.GetView());
        if (surface) {
            surface->SetName(d.id);
            SetSurface(display, surface, 1, 1);
            SetId(d.id);
            SetPermanent(pf::ToBool(d.perm));
            return true;
        }
    } else if (d.params[kImageMemory] == L"ram") {
        my_intrusive_ptr<MemorySurface> ram(new MemorySurface);
        ram->Swap(image);
        surface = ram.get();
    } else {
        surface = MakeDisplaySurface(image, display);
    }
    if (!surface) {
        pf::DebugStream() << L"Could not load file " << d.path;
        return false;
    }
    surface->SetName(d.id);
    SetSurface(display, surface, cels, loops);
    SetId(d.id);
    SetPermanent(pf::ToBool(d.perm));
    return true;
}

bool ResAnim::LoadImageFile(MemorySurface& out, ImageLoader* loader, FileSystem* fs, Display* display,
                            const ResID& d) {
    if (!loader || !fs) return false;
    const PixelFormat wanted = PixelFormatFromName(d.params[kImageFormat]);
    const PixelFormat format = display ? display->GetNativeFormat(wanted) : wanted;
    pf::FileBuffer bytes;
    bool checked = false;
    if (!fs->ReadResourceFileChecked(bytes, d.path, checked) || pf::ContentSize(bytes) == 0) return false;
    const bool ok = loader->Load(out, bytes.data(), int(std::min<size_t>(pf::ContentSize(bytes), INT32_MAX)), format,
                                 checked ? pf::FormatChecksums::AlreadyVerified : pf::FormatChecksums::Verify);
    if (!ok && out.GetWidth() != 0) {
        // A damaged file is bad input, not a fatal error: logged (this may run on a
        // loading worker, which must never wait on a message box); the stand-in shows it.
        pf::DebugStream() << L"can't load texture from file: '" << d.path << L"' something is wrong! width:"
                          << out.GetWidth() << L" height:" << out.GetHeight();
    }
    const std::wstring& alphaSrc = d.params[kImageAlphaSrc];
    if (ok && !alphaSrc.empty()) {
        pf::FileBuffer maskBytes;
        MemorySurface mask;
        bool maskChecked = false;
        if (fs->ReadResourceFileChecked(maskBytes, alphaSrc, maskChecked) && pf::ContentSize(maskBytes) > 0 &&
            loader->Load(mask, maskBytes.data(), int(std::min<size_t>(pf::ContentSize(maskBytes), INT32_MAX)),
                         PixelFormat::A8R8G8B8,
                         maskChecked ? pf::FormatChecksums::AlreadyVerified : pf::FormatChecksums::Verify) &&
            mask.GetWidth() == out.GetWidth() && mask.GetHeight() == out.GetHeight()) {
            pf::PixelView image = out.GetView();
            const pf::PixelView maskView = mask.GetView();
            if (image.format == PixelFormat::A8R8G8B8) {
                pf::ApplyAlphaMask(maskView, image);
            } else if (image.format == PixelFormat::A8B8G8R8) {
                for (int y = 0; y < image.height; ++y) {
                    const uint8_t* m = maskView.data + size_t(y) * maskView.pitch;
                    uint8_t* p = image.data + size_t(y) * image.pitch;
                    for (int x = 0; x < image.width; ++x) p[x * 4 + 3] = m[x * 4];
                }
            }
        }
    }
    return ok;
}

void ResAnim::LogLoadError(const ResID& d) {
    pf::DebugStream() << L"ERROR: can't load or find animation:\n" << L"id: '" << d.id << L"' path: '" << d.path;
}

void ResAnim::MakeMissingImage(MemorySurface& out, Display* display, const ResID& d) {
    const PixelFormat format = display ? display->GetNativeFormat(PixelFormat::A8R8G8B8) : PixelFormat::A8R8G8B8;
    out.Init(256, 256, pf::BytesPerPixel(format), format);
    pf::PixelView view = out.GetView();
    if (view.bytesPerPixel != 4) return;
    FillMissingImage(view, d.id, d.path);
}

int64_t ResAnim::ReadFileTime(FileSystem* fs, const std::wstring& path) {
    if (!fs || path.empty()) return 0;
    wchar_t folder[4096];
    fs->GetResourcePath(folder, 4096);
    std::string base = pf::ToUtf8(folder);
    if (base.empty()) base = ".";
    const std::string resolved = pf::ResolvePath(base, pf::ToUtf8(path));
    return pf::RegularFileTime(resolved);
}

// ---------------------------------------------------------------- deferred life

void ResAnim::Load(ImageLoader* loader, FileSystem* fs, Display* display) {
    loadFailed_.store(false, std::memory_order_release);
    LoadOnce(loader, fs, display);
}

bool ResAnim::LoadOnce(ImageLoader* loader, FileSystem* fs, Display* display) {
    if (!hasDescriptor_ || !proxy_) return false;
    std::lock_guard<std::mutex> hold(loadLock_);
    if (loaded_.load(std::memory_order_acquire)) return false;
    const ResID& d = ownDescriptor_;
    MemorySurface image;
    if (!LoadImageFile(image, loader, fs, display, d)) {
        LogLoadError(d);
        MakeMissingImage(image, display, d);
    }
    SurfacePtr surface = MakeDisplaySurface(image, display);
    if (!surface) {
        pf::DebugStream() << L"Could not load file " << d.path;
        loadFailed_.store(true, std::memory_order_release);
        return false;
    }
    if (surface->GetWidth() != proxy_->GetWidth() || surface->GetHeight() != proxy_->GetHeight()) {
        pf::DebugStream() << L"ResAnim '" << d.id << L"': the image is " << surface->GetWidth() << L"x"
                          << surface->GetHeight() << L", its list declares " << proxy_->GetWidth() << L"x"
                          << proxy_->GetHeight();
    }
    surface->SetName(d.id);
    image_ = surface;
    proxy_->SetImage(surface.get());
    {
        std::lock_guard<std::mutex> holdSurface(surfaceLock_);
        surface_ = surface;
    }
    loaded_.store(true, std::memory_order_release);
    return true;
}

void ResAnim::unload() {
    if (!proxy_) return;
    std::lock_guard<std::mutex> hold(loadLock_);
    if (!loaded_.load(std::memory_order_acquire)) return;
    loaded_.store(false, std::memory_order_release);
    proxy_->SetImage(nullptr);
    {
        std::lock_guard<std::mutex> holdSurface(surfaceLock_);
        surface_ = proxy_.get();
    }
    image_.reset();
}

void ResAnim::ReloadIfChanged(ImageLoader* loader, FileSystem* fs, Display* display) {
    if (!hasDescriptor_) return;
    const int64_t time = ReadFileTime(fs, ownDescriptor_.path);
    if (time == 0 || time == fileTime_) return;
    fileTime_ = time;
    MemorySurface image;
    if (!LoadImageFile(image, loader, fs, display, ownDescriptor_)) MakeMissingImage(image, display, ownDescriptor_);
    const SurfacePtr current = GetSurface();
    if (!current || !IsLoaded() || image.GetWidth() != current->GetWidth() ||
        image.GetHeight() != current->GetHeight() || image.GetFormat() != current->GetFormat())
        return;
    pf::PixelView target = pf::LockView(current.get(), nullptr, false, true);
    if (target.data) pf::CopyView(image.GetView(), target);
    current->Unlock();
}

ResAnim* ResAnim::CreateFromRect(Display* display, const Rect& rect) {
    SurfacePtr source = GetSurface();
    if (!source) source = proxy_.get();
    if (!source) return nullptr;
    // Clipped to the surface so the cel never reaches outside it.
    const int64_t x0 = std::max<int64_t>(0, rect.x), y0 = std::max<int64_t>(0, rect.y);
    const int64_t x1 = std::min<int64_t>(source->GetWidth(), int64_t(rect.x) + std::max(0, rect.width));
    const int64_t y1 = std::min<int64_t>(source->GetHeight(), int64_t(rect.y) + std::max(0, rect.height));
    const Rect clipped(int(x0), int(y0), int(std::max<int64_t>(0, x1 - x0)), int(std::max<int64_t>(0, y1 - y0)));
    auto* anim = new ResAnim;
    anim->SetSurface(display, SurfacePtr(new pf::CellSurface(source, clipped)), 1, 1);
    return anim;
}
