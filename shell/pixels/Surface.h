// The engine's image object: counted, of known size and format, lockable and drawable.
#pragma once

#include <cstdint>
#include <string>

#include "shell/foundation/RefCounter.h"
#include "shell/pixels/PixelFormat.h"
#include "shell/pixels/PixelView.h"
#include "shell/foundation/ValueTypes.h"

namespace pf {

class Display;

// Bits of the mode passed to Surface::Lock.
enum LockMode : int {
    LockRead = 1,   // the caller needs the current contents
    LockWrite = 2,  // the caller's changes must reach the image
};

class Surface : public ::RefCounter {
public:
    virtual bool IsHardware() const { return false; }
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    virtual PixelFormat GetFormat() const = 0;
    // On success bits points at the rect's top-left pixel (the whole surface without a
    // rect) and pitch is the row step; on failure pitch is 0 and bits null. One Unlock
    // follows every Lock; locks do not nest.
    virtual void Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) = 0;
    virtual void Unlock() = 0;
    // Draws the source rectangle (the whole surface when null) into the destination
    // rectangle in game coordinates with the display's current colour and states.
    virtual void Draw(Display* display, const Rect* source, const Rect* destination) = 0;
    // Debug naming only; no surface keeps the name.
    virtual void SetName(const std::wstring& name) {}

    std::wstring GetName() const { return std::wstring(); }
};

using SurfacePtr = my_intrusive_ptr<Surface>;

// Locks rect (the whole surface when null) and describes the locked pixels; the caller
// calls Unlock when done. A failed lock (or a null surface) yields a view with null data.
PixelView LockView(Surface* surface, const Rect* rect, bool read, bool write);

// Whether rect lies wholly inside (0, 0, width, height); computed without overflow, so
// any rectangle from a caller may be passed.
bool RectInside(const Rect& rect, int width, int height);

// True for 2, 4, 8, ...; false for 0, 1 and every other value.
bool IsPowerOfTwo(int n);

}  // namespace pf
