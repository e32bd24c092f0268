// Value types of the software rendering device: formats, state ids and their values,
// the vertex, the viewport and the present parameters.
//
// State values keep the classic fixed-function numbering (blend factors 1..11, compare
// functions 1..8, texture operations 1..7, arguments 0..3), so a caller may pass a raw
// factor number it received from a script.
#pragma once

#include <cstdint>

namespace pf {

// Texel and render-target formats. Multi-byte texels are little-endian words, named most
// significant component first (A8R8G8B8 is the 32-bit value 0xAARRGGBB).
enum class DeviceFormat : int {
    Unknown = 0,
    A8R8G8B8,
    X8R8G8B8,  // the top byte carries nothing; the device keeps it 0xFF so alpha reads 255
    R5G6B5,
    A4R4G4B4,
    A1R5G5B5,
    A8,      // alpha only; samples as white with that alpha
    R8G8B8,  // three bytes b, g, r
};

int DeviceFormatBytes(DeviceFormat format);  // 0 for Unknown
bool DeviceFormatHasAlpha(DeviceFormat format);
const char* DeviceFormatName(DeviceFormat format);

enum class DeviceResult : int {
    Ok = 0,
    DeviceLost,      // the device is lost and cannot be reset yet
    DeviceNotReset,  // the device is lost and can be reset now
    InvalidCall,     // bad arguments or a call in the wrong state
    OutOfMemory,
    NotAvailable,    // creation or reset failed, or the frame could not be presented
};
inline bool Succeeded(DeviceResult r) { return r == DeviceResult::Ok; }
const char* DeviceResultName(DeviceResult r);

enum class RenderStateId : int {
    AlphaBlendEnable,  // bool
    SrcBlend,          // BlendFactor
    DestBlend,         // BlendFactor
    AlphaTestEnable,   // bool
    AlphaRef,          // 0..255
    AlphaFunc,         // CompareFunc
    TextureFactor,     // 0xAARRGGBB
    CullMode,          // CullMode
    Lighting,          // bool, stored only (no lighting in this device)
    ZEnable,           // bool, stored only (no depth buffer)
    ZWriteEnable,      // bool, stored only
    Count
};

enum class StageStateId : int {
    ColorOp, ColorArg1, ColorArg2,
    AlphaOp, AlphaArg1, AlphaArg2,
    MagFilter, MinFilter, MipFilter,
    AddressU, AddressV,
    Count
};

enum BlendFactor : uint32_t {
    BlendZero = 1, BlendOne, BlendSrcColor, BlendInvSrcColor, BlendSrcAlpha, BlendInvSrcAlpha,
    BlendDestAlpha, BlendInvDestAlpha, BlendDestColor, BlendInvDestColor, BlendSrcAlphaSat,
};
enum CompareFunc : uint32_t {
    CmpNever = 1, CmpLess, CmpEqual, CmpLessEqual, CmpGreater, CmpNotEqual, CmpGreaterEqual,
    CmpAlways,
};
enum TextureOp : uint32_t {
    TopDisable = 1, TopSelectArg1, TopSelectArg2, TopModulate, TopModulate2x, TopModulate4x,
    TopAdd,
};
enum TextureArg : uint32_t { ArgDiffuse = 0, ArgCurrent = 1, ArgTexture = 2, ArgTFactor = 3 };
enum SampleFilter : uint32_t { SampleNone = 0, SamplePoint = 1, SampleLinear = 2 };
enum TextureAddress : uint32_t { AddressWrap = 1, AddressMirror, AddressClamp };
enum CullMode : uint32_t { CullNone = 1, CullClockwise, CullCounterClockwise };

enum class TransformId : int { World, View, Projection, Count };

enum class PrimitiveKind : int { TriangleList, TriangleStrip, LineList };

enum TextureUsage : uint32_t { UsageNone = 0, UsageRenderTarget = 1, UsageDynamic = 2 };
enum class MemoryPool : int { Managed, Default };
enum LockFlag : uint32_t { LockReadOnly = 1 };

// The 24-byte vertex: position, colour 0xAARRGGBB, texture coordinates.
struct DeviceVertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(DeviceVertex) == 24, "the vertex is 24 bytes");

struct Viewport {
    int x = 0, y = 0, width = 0, height = 0;
    float minZ = 0.0f, maxZ = 1.0f;
};

struct PresentParams {
    int width = 0, height = 0;
    // A8R8G8B8, X8R8G8B8 or R5G6B5. A 16-bit back buffer is drawn and presented at 32
    // bits (an X8R8G8B8 surface); the parameters keep the format that was asked for.
    DeviceFormat backBufferFormat = DeviceFormat::X8R8G8B8;
    bool windowed = true;
};

struct DeviceCaps {
    int maxTextureWidth = 4096;
    int maxTextureHeight = 4096;
};

struct LockedRect {
    int pitch = 0;
    uint8_t* bits = nullptr;
};

struct SurfaceDesc {
    int width = 0, height = 0;
    DeviceFormat format = DeviceFormat::Unknown;
    uint32_t usage = UsageNone;
    MemoryPool pool = MemoryPool::Managed;
};

}  // namespace pf
