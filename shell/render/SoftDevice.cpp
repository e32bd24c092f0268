#include "shell/render/SoftDevice.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "shell/foundation/Log.h"
#include "shell/render/PresentTarget.h"

namespace pf {

namespace {

constexpr int kMaxBackBuffer = 16384;

bool IsRenderTargetFormat(DeviceFormat f) {
    return f == DeviceFormat::A8R8G8B8 || f == DeviceFormat::X8R8G8B8;
}

}  // namespace

const char* RenderStateName(RenderStateId state) {
    static const char* const names[] = {"AlphaBlendEnable", "SrcBlend", "DestBlend",
                                        "AlphaTestEnable", "AlphaRef", "AlphaFunc",
                                        "TextureFactor", "CullMode", "Lighting", "ZEnable",
                                        "ZWriteEnable"};
    const int i = int(state);
    return i >= 0 && i < int(RenderStateId::Count) ? names[i] : "unknown";
}

const char* StageStateName(StageStateId state) {
    static const char* const names[] = {"ColorOp", "ColorArg1", "ColorArg2", "AlphaOp",
                                        "AlphaArg1", "AlphaArg2", "MagFilter", "MinFilter",
                                        "MipFilter", "AddressU", "AddressV"};
    const int i = int(state);
    return i >= 0 && i < int(StageStateId::Count) ? names[i] : "unknown";
}

// ---------------------------------------------------------------------------------------
// DeviceFaults

void DeviceFaults::FailCreations(int n) {
    std::lock_guard<std::mutex> lock(mutex_);
    creationFailures_ = n;
}
void DeviceFaults::FailResets(int n) {
    std::lock_guard<std::mutex> lock(mutex_);
    resetFailures_ = n;
}
void DeviceFaults::LoseDevice() {
    std::lock_guard<std::mutex> lock(mutex_);
    level_ = DeviceResult::DeviceLost;
}
void DeviceFaults::AllowReset() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (level_ == DeviceResult::DeviceLost) level_ = DeviceResult::DeviceNotReset;
}
DeviceResult DeviceFaults::CooperativeLevel() const { return level_.load(); }
bool DeviceFaults::TakeCreationFailure() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (creationFailures_ <= 0) return false;
    --creationFailures_;
    return true;
}
bool DeviceFaults::TakeResetFailure() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (resetFailures_ <= 0) return false;
    --resetFailures_;
    return true;
}
void DeviceFaults::ResetSucceeded() {
    std::lock_guard<std::mutex> lock(mutex_);
    level_ = DeviceResult::Ok;
}

// ---------------------------------------------------------------------------------------
// SoftDevice: states and resources

bool SoftDevice::ValidParams(const PresentParams& p) {
    return p.width > 0 && p.height > 0 && p.width <= kMaxBackBuffer && p.height <= kMaxBackBuffer &&
           (IsRenderTargetFormat(p.backBufferFormat) || p.backBufferFormat == DeviceFormat::R5G6B5);
}

std::unique_ptr<SoftDevice> CreateSoftDevice(const PresentParams& params, PresentTarget* target,
                                             DeviceFaults* faults) {
    if (!SoftDevice::ValidParams(params)) {
        DebugStream() << "CreateSoftDevice: unsupported back buffer " << params.width << " x "
                      << params.height << " " << DeviceFormatName(params.backBufferFormat);
        return nullptr;
    }
    if (faults && faults->TakeCreationFailure()) {
        DebugStream() << "CreateSoftDevice: creation failed (injected)";
        return nullptr;
    }
    return std::make_unique<SoftDevice>(params, target, faults);
}

SoftDevice::SoftDevice(const PresentParams& params, PresentTarget* target, DeviceFaults* faults)
    : target_(target), faults_(faults), defaultPoolCount_(std::make_shared<std::atomic<int>>(0)) {
    PresentParams p = params;
    if (!ValidParams(p)) {  // constructed directly with bad parameters: a 1 x 1 buffer
        p.width = p.height = 1;
        p.backBufferFormat = DeviceFormat::X8R8G8B8;
    }
    CreateBackBuffer(p);
    SetDefaultStates();
}

SoftDevice::~SoftDevice() = default;

bool SoftDevice::CreateBackBuffer(const PresentParams& params) {
    params_ = params;
    // A 16-bit back buffer is drawn at 32 bits.
    const DeviceFormat f = params.backBufferFormat == DeviceFormat::A8R8G8B8 ? DeviceFormat::A8R8G8B8
                                                                             : DeviceFormat::X8R8G8B8;
    backBuffer_ = new DeviceSurface(params.width, params.height, f, UsageRenderTarget, MemoryPool::Default);
    presentedVersion_ = 0;
    {
        std::lock_guard<std::mutex> lock(backBuffer_->Guard());
        backBuffer_->Fill(0xFF000000u);
    }
    renderTarget_ = backBuffer_;
    return true;
}

void SoftDevice::SetDefaultStates() {
    for (auto& m : transforms_) m.Identity();
    transformDirty_ = true;
    uint32_t* rs = renderStates_;
    rs[int(RenderStateId::AlphaBlendEnable)] = 0;
    rs[int(RenderStateId::SrcBlend)] = BlendOne;
    rs[int(RenderStateId::DestBlend)] = BlendZero;
    rs[int(RenderStateId::AlphaTestEnable)] = 0;
    rs[int(RenderStateId::AlphaRef)] = 0;
    rs[int(RenderStateId::AlphaFunc)] = CmpAlways;
    rs[int(RenderStateId::TextureFactor)] = 0xFFFFFFFFu;
    rs[int(RenderStateId::CullMode)] = CullCounterClockwise;
    rs[int(RenderStateId::Lighting)] = 1;
    rs[int(RenderStateId::ZEnable)] = 0;
    rs[int(RenderStateId::ZWriteEnable)] = 1;
    for (int s = 0; s < kStages; ++s) {
        uint32_t* ts = stageStates_[s];
        ts[int(StageStateId::ColorOp)] = s == 0 ? TopModulate : TopDisable;
        ts[int(StageStateId::ColorArg1)] = ArgTexture;
        ts[int(StageStateId::ColorArg2)] = ArgCurrent;
        ts[int(StageStateId::AlphaOp)] = s == 0 ? TopSelectArg1 : TopDisable;
        ts[int(StageStateId::AlphaArg1)] = ArgTexture;
        ts[int(StageStateId::AlphaArg2)] = ArgCurrent;
        ts[int(StageStateId::MagFilter)] = SamplePoint;
        ts[int(StageStateId::MinFilter)] = SamplePoint;
        ts[int(StageStateId::MipFilter)] = SampleNone;
        ts[int(StageStateId::AddressU)] = AddressWrap;
        ts[int(StageStateId::AddressV)] = AddressWrap;
        textures_[s].reset();
    }
    viewport_ = Viewport();
    viewport_.width = renderTarget_->Width();
    viewport_.height = renderTarget_->Height();
    inScene_ = false;
}

bool SoftDevice::IsLost() const {
    return faults_ && faults_->CooperativeLevel() != DeviceResult::Ok;
}

DeviceResult SoftDevice::TestCooperativeLevel() {
    return faults_ ? faults_->CooperativeLevel() : DeviceResult::Ok;
}

DeviceResult SoftDevice::Reset(const PresentParams& params) {
    if (faults_ && faults_->CooperativeLevel() == DeviceResult::DeviceLost) return DeviceResult::DeviceLost;
    const int live = defaultPoolCount_->load();
    if (live > 0) {
        DebugStream() << "SoftDevice::Reset refused: " << live << " default-pool textures still exist";
        return DeviceResult::InvalidCall;
    }
    if (!ValidParams(params)) {
        DebugStream() << "SoftDevice::Reset: unsupported back buffer " << params.width << " x "
                      << params.height << " " << DeviceFormatName(params.backBufferFormat);
        return DeviceResult::InvalidCall;
    }
    if (faults_ && faults_->TakeResetFailure()) {
        DebugStream() << "SoftDevice::Reset failed (injected)";
        return DeviceResult::NotAvailable;
    }
    CreateBackBuffer(params);
    SetDefaultStates();
    if (faults_) faults_->ResetSucceeded();
    return DeviceResult::Ok;
}

DeviceResult SoftDevice::CreateTexture(int width, int height, int levels, uint32_t usage,
                                       DeviceFormat format, MemoryPool pool,
                                       my_intrusive_ptr<DeviceTexture>& out) {
    out.reset();
    const DeviceCaps caps = GetCaps();
    if (width < 1 || height < 1 || width > caps.maxTextureWidth || height > caps.maxTextureHeight ||
        levels < 0 || DeviceFormatBytes(format) == 0 ||
        ((usage & UsageRenderTarget) && !IsRenderTargetFormat(format))) {
        DebugStream() << "SoftDevice::CreateTexture: unsupported texture " << width << " x " << height
                      << " " << DeviceFormatName(format) << " levels " << levels << " usage " << usage;
        return DeviceResult::InvalidCall;
    }
    try {
        out = new DeviceTexture(width, height, levels, usage, format, pool,
                                pool == MemoryPool::Default ? defaultPoolCount_ : nullptr);
    } catch (const std::bad_alloc&) {
        DebugStream() << "SoftDevice::CreateTexture: out of memory for " << width << " x " << height;
        return DeviceResult::OutOfMemory;
    }
    return DeviceResult::Ok;
}

DeviceResult SoftDevice::SetRenderTarget(DeviceSurface* target) {
    if (!target || !(target->Desc().usage & UsageRenderTarget) || !IsRenderTargetFormat(target->Format())) {
        DebugStream() << "SoftDevice::SetRenderTarget: not a render target";
        return DeviceResult::InvalidCall;
    }
    renderTarget_ = target;
    viewport_ = Viewport();
    viewport_.width = target->Width();
    viewport_.height = target->Height();
    return DeviceResult::Ok;
}

DeviceResult SoftDevice::SetViewport(const Viewport& vp) {
    // An empty viewport is kept: nothing is drawn or cleared until the next one.
    if (vp.width < 0 || vp.height < 0) {
        DebugStream() << "SoftDevice::SetViewport: negative viewport " << vp.width << " x " << vp.height;
        return DeviceResult::InvalidCall;
    }
    viewport_ = vp;
    return DeviceResult::Ok;
}

DeviceResult SoftDevice::SetTransform(TransformId which, const MatrixT& m) {
    const int i = int(which);
    if (i < 0 || i >= int(TransformId::Count)) return DeviceResult::InvalidCall;
    transforms_[i] = m;
    transformDirty_ = true;
    return DeviceResult::Ok;
}

MatrixT SoftDevice::GetTransform(TransformId which) const {
    const int i = int(which);
    return i >= 0 && i < int(TransformId::Count) ? transforms_[i] : MatrixT::MakeIdentity();
}

DeviceResult SoftDevice::SetRenderState(RenderStateId state, uint32_t value) {
    const int i = int(state);
    if (i < 0 || i >= int(RenderStateId::Count)) return DeviceResult::InvalidCall;
    renderStates_[i] = value;
    return DeviceResult::Ok;
}

uint32_t SoftDevice::GetRenderState(RenderStateId state) const {
    const int i = int(state);
    return i >= 0 && i < int(RenderStateId::Count) ? renderStates_[i] : 0;
}

DeviceResult SoftDevice::SetTextureStageState(int stage, StageStateId state, uint32_t value) {
    const int i = int(state);
    if (stage < 0 || stage >= kStages || i < 0 || i >= int(StageStateId::Count)) return DeviceResult::InvalidCall;
    stageStates_[stage][i] = value;
    return DeviceResult::Ok;
}

uint32_t SoftDevice::GetTextureStageState(int stage, StageStateId state) const {
    const int i = int(state);
    if (stage < 0 || stage >= kStages || i < 0 || i >= int(StageStateId::Count)) return 0;
    return stageStates_[stage][i];
}

DeviceResult SoftDevice::SetTexture(int stage, DeviceTexture* texture) {
    if (stage < 0 || stage >= kStages) return DeviceResult::InvalidCall;
    if (textures_[stage].get() != texture) textures_[stage] = texture;  // spares two counted updates
    return DeviceResult::Ok;
}

DeviceTexture* SoftDevice::GetTexture(int stage) const {
    return stage >= 0 && stage < kStages ? textures_[stage].get() : nullptr;
}

DeviceResult SoftDevice::BeginScene() {
    if (inScene_) {
        DebugStream() << "SoftDevice::BeginScene: a scene is already begun";
        return DeviceResult::InvalidCall;
    }
    inScene_ = true;
    return DeviceResult::Ok;
}

DeviceResult SoftDevice::EndScene() {
    if (!inScene_) {
        DebugStream() << "SoftDevice::EndScene: no scene is begun";
        return DeviceResult::InvalidCall;
    }
    inScene_ = false;
    return DeviceResult::Ok;
}

// ---------------------------------------------------------------------------------------
// SoftDevice: drawing

bool SoftDevice::Scissor(int& x0, int& y0, int& x1, int& y1) const {
    x0 = std::max(viewport_.x, 0);
    y0 = std::max(viewport_.y, 0);
    x1 = int(std::min<int64_t>(int64_t(viewport_.x) + viewport_.width, renderTarget_->Width()));
    y1 = int(std::min<int64_t>(int64_t(viewport_.y) + viewport_.height, renderTarget_->Height()));
    return x0 < x1 && y0 < y1;
}

DeviceResult SoftDevice::Clear(uint32_t argb) {
    if (IsLost()) return DeviceResult::Ok;
    DeviceSurface* rt = renderTarget_.get();
    if (rt->HeldByThisThread()) {
        DebugStream() << "SoftDevice::Clear refused: the render target is locked by this thread";
        return DeviceResult::InvalidCall;
    }
    int x0, y0, x1, y1;
    if (!Scissor(x0, y0, x1, y1)) return DeviceResult::Ok;
    if (rt->Format() == DeviceFormat::X8R8G8B8) argb |= 0xFF000000u;
    std::lock_guard<std::mutex> lock(rt->Guard());
    if (x0 == 0 && y0 == 0 && x1 == rt->Width() && y1 == rt->Height() && DeviceFormatBytes(rt->Format()) == 4) {
        // The whole target: written when its pixels are next reached, or row by row
        // under a rectangle drawn first (a full-screen picture drawn over the clear).
        rt->OweFill(argb);
        return DeviceResult::Ok;
    }
    // Pixels are filled as 32-bit wide characters: the C library's wmemset is as fast as
    // its memset, whatever the colour. Whole rows are one block.
    static_assert(sizeof(wchar_t) == sizeof(uint32_t), "wmemset fills 32-bit pixels");
    const size_t rowPixels = size_t(x1 - x0);
    const wchar_t fill = wchar_t(argb);
    if (rowPixels * 4 == size_t(rt->Pitch())) {
        std::wmemset(reinterpret_cast<wchar_t*>(rt->Bits() + size_t(y0) * rt->Pitch()), fill, rowPixels * size_t(y1 - y0));
    } else {
        for (int y = y0; y < y1; ++y)
            std::wmemset(reinterpret_cast<wchar_t*>(rt->Bits() + size_t(y) * rt->Pitch()) + x0, fill, rowPixels);
    }
    rt->Touch();
    return DeviceResult::Ok;
}

DeviceResult SoftDevice::DrawPrimitiveUP(PrimitiveKind kind, int primitiveCount,
                                         const DeviceVertex* vertices) {
    if (!inScene_) {
        DebugStream() << "SoftDevice::DrawPrimitiveUP outside BeginScene/EndScene";
        return DeviceResult::InvalidCall;
    }
    if (primitiveCount <= 0 || !vertices) {
        DebugStream() << "SoftDevice::DrawPrimitiveUP: no primitives";
        return DeviceResult::InvalidCall;
    }
    int vertexCount = 0;
    switch (kind) {
        case PrimitiveKind::TriangleList: vertexCount = primitiveCount * 3; break;
        case PrimitiveKind::TriangleStrip: vertexCount = primitiveCount + 2; break;
        case PrimitiveKind::LineList: vertexCount = primitiveCount * 2; break;
        default:
            DebugStream() << "SoftDevice::DrawPrimitiveUP: unknown primitive kind";
            return DeviceResult::InvalidCall;
    }
    if (IsLost()) return DeviceResult::Ok;

    PixelPipeline p;
    const uint32_t* rs = renderStates_;
    const uint32_t(*ts)[int(StageStateId::Count)] = stageStates_;
    for (int s = 0; s < 2; ++s) {
        p.op[s][0] = ts[s][int(StageStateId::ColorOp)];
        p.arg1[s][0] = ts[s][int(StageStateId::ColorArg1)];
        p.arg2[s][0] = ts[s][int(StageStateId::ColorArg2)];
        p.op[s][1] = ts[s][int(StageStateId::AlphaOp)];
        p.arg1[s][1] = ts[s][int(StageStateId::AlphaArg1)];
        p.arg2[s][1] = ts[s][int(StageStateId::AlphaArg2)];
    }
    p.magFilter = ts[0][int(StageStateId::MagFilter)];
    p.minFilter = ts[0][int(StageStateId::MinFilter)];
    p.addressU = ts[0][int(StageStateId::AddressU)];
    p.addressV = ts[0][int(StageStateId::AddressV)];
    p.textureFactor = rs[int(RenderStateId::TextureFactor)];
    p.alphaTest = rs[int(RenderStateId::AlphaTestEnable)] != 0;
    p.alphaFunc = rs[int(RenderStateId::AlphaFunc)];
    p.alphaRef = rs[int(RenderStateId::AlphaRef)];
    p.blend = rs[int(RenderStateId::AlphaBlendEnable)] != 0;
    p.srcBlend = rs[int(RenderStateId::SrcBlend)];
    p.destBlend = rs[int(RenderStateId::DestBlend)];
    p.forceGeneric = forceGeneric_;
    DeviceSurface* rt = renderTarget_.get();
    p.dstAlphaOr = rt->Format() == DeviceFormat::X8R8G8B8 ? 0xFF000000u : 0u;

    // The texture is read under its guard, the target written under its own.
    DeviceSurface* tex = textures_[0] ? textures_[0]->GetSurfaceLevel(0) : nullptr;
    if (tex == rt) {
        DebugStream() << "SoftDevice::DrawPrimitiveUP refused: the texture is the render target";
        return DeviceResult::InvalidCall;
    }
    if (rt->HeldByThisThread() || (tex && tex->HeldByThisThread())) {
        DebugStream() << "SoftDevice::DrawPrimitiveUP refused: a surface it uses is locked by this thread";
        return DeviceResult::InvalidCall;
    }
    std::unique_lock<std::mutex> targetLock(rt->Guard(), std::defer_lock);
    std::unique_lock<std::mutex> textureLock;
    if (tex) {
        textureLock = std::unique_lock<std::mutex>(tex->Guard(), std::defer_lock);
        std::lock(targetLock, textureLock);
        p.tex = tex->SampleView();
    } else {
        targetLock.lock();
    }
    p.Resolve();
    if (p.drawsNothing) return DeviceResult::Ok;

    RasterTarget t;
    // A quad drawn first after a clear of the whole target settles the clear row by row.
    const bool owed = rt->FillOwed() && kind == PrimitiveKind::TriangleStrip && primitiveCount == 2;
    t.pixels = reinterpret_cast<uint32_t*>(owed ? rt->RawBits() : rt->Bits());
    t.pitch = rt->Pitch() / 4;
    if (!Scissor(t.x0, t.y0, t.x1, t.y1)) return DeviceResult::Ok;

    if (transformDirty_) {
        combined_ = transforms_[int(TransformId::World)] * transforms_[int(TransformId::View)] *
                    transforms_[int(TransformId::Projection)];
        transformDirty_ = false;
    }
    screen_.resize(size_t(vertexCount));
    TransformVertices(combined_, viewport_, vertices, vertexCount, screen_.data());
    const ScreenVertex* v = screen_.data();
    const uint32_t cull = rs[int(RenderStateId::CullMode)];
    bool keptDrawn = false, keptWhole = false;
    switch (kind) {
        case PrimitiveKind::TriangleList:
            for (int i = 0; i < primitiveCount; ++i) RasterTriangle(p, t, v[3 * i], v[3 * i + 1], v[3 * i + 2], cull);
            break;
        case PrimitiveKind::TriangleStrip:
            if (owed) {
                RasterTarget::OwedFill fill;
                fill.colour = rt->OwedFill();
                // The back buffer keeps a picture drawn scaled over it (the letterbox), so
                // that the next frame draws and shows only what changed.
                if (rt == backBuffer_.get()) {
                    fill.kept = &rt->Kept();
                    fill.keptHeld = rt->KeptHeld();
                }
                t.owed = &fill;
                const bool drawn = RasterQuad(p, t, v[0], v[1], v[2], v[3], cull);
                t.owed = nullptr;
                if (drawn) {
                    keptDrawn = fill.keptDrawn;
                    keptWhole = keptDrawn && fill.kept->WroteWhole();
                    // Nothing written leaves the clear owed still; around a picture drawn
                    // again in part the pixels hold the clear's colour already.
                    if (keptDrawn && !keptWhole) rt->DropOwedFill();
                    else if (fill.written) rt->SettleFillExcept(fill.x0, fill.y0, fill.x1, fill.y1);
                    break;
                }
                rt->SettleFill();
            }
            // Every second triangle is flipped back to the strip's winding.
            for (int i = 0; i < primitiveCount; ++i) {
                // A pair of triangles forming a parallelogram (a quad) is filled row by row whole.
                if (i % 2 == 0 && i + 1 < primitiveCount && RasterQuad(p, t, v[i], v[i + 1], v[i + 2], v[i + 3], cull)) {
                    ++i;
                    continue;
                }
                if (i % 2 == 0) RasterTriangle(p, t, v[i], v[i + 1], v[i + 2], cull);
                else RasterTriangle(p, t, v[i + 1], v[i], v[i + 2], cull);
            }
            break;
        case PrimitiveKind::LineList:
            for (int i = 0; i < primitiveCount; ++i) RasterLine(p, t, v[2 * i], v[2 * i + 1]);
            break;
    }
    rt->Touch();
    if (keptDrawn) rt->NoteKeptDraw(keptWhole);
    return DeviceResult::Ok;
}

DeviceResult SoftDevice::CopyRects(DeviceSurface* src, const Rect* rects, int count,
                                   DeviceSurface* dst, const Point* points) {
    return CopySurfaceRects(src, rects, count, dst, points);
}

DeviceResult SoftDevice::Present() {
    if (IsLost()) return DeviceResult::DeviceLost;
    if (!target_) return DeviceResult::Ok;
    DeviceSurface* bb = backBuffer_.get();
    if (bb->HeldByThisThread()) {
        DebugStream() << "SoftDevice::Present refused: the back buffer is locked by this thread";
        return DeviceResult::InvalidCall;
    }
    std::lock_guard<std::mutex> lock(bb->Guard());
    // Only what changed since the last frame shown, when the back buffer knows; the
    // target logs why it could not show the frame.
    const uint32_t* pixels = reinterpret_cast<const uint32_t*>(bb->Bits());
    const bool ok = presentedVersion_ != 0 && bb->ChangedSince(presentedVersion_, changed_)
                        ? target_->PresentFrameRects(pixels, bb->Width(), bb->Height(), bb->Pitch() / 4,
                                                     changed_.data(), int(changed_.size()))
                        : target_->PresentFrame(pixels, bb->Width(), bb->Height(), bb->Pitch() / 4);
    presentedVersion_ = ok ? bb->Version() : 0;
    return ok ? DeviceResult::Ok : DeviceResult::NotAvailable;
}

DeviceResult SoftDevice::SetCursorProperties(int hotX, int hotY, DeviceSurface* image) {
    if (!image || image->Width() != 32 || image->Height() != 32 || hotX < 0 || hotY < 0 ||
        hotX >= 32 || hotY >= 32) {
        DebugStream() << "SoftDevice::SetCursorProperties: the cursor image must be 32 x 32 with the hot spot inside";
        return DeviceResult::InvalidCall;
    }
    if (image->HeldByThisThread()) return DeviceResult::InvalidCall;
    std::vector<uint32_t> pixels(32 * 32);
    {
        std::lock_guard<std::mutex> lock(image->Guard());
        const int bpp = DeviceFormatBytes(image->Format());
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                pixels[size_t(y) * 32 + x] = DecodeTexel(image->Bits() + size_t(y) * image->Pitch() + x * bpp, image->Format());
    }
    if (target_) target_->SetCursorImage(pixels.data(), 32, 32, hotX, hotY);
    return DeviceResult::Ok;
}

void SoftDevice::ShowCursor(bool show) {
    if (target_) target_->ShowCursor(show);
}

}  // namespace pf
