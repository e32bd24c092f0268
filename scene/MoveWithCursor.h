// Keeps its client at the mouse cursor (less an offset), inside confines.
#pragma once

#include "scene/Modifier.h"
#include "shell/foundation/ValueTypes.h"

// Where the mouse is, in root coordinates. The application's event system by default;
// tests install their own (null restores the default).
using CursorPositionSource = pf::Point (*)();
void SetCursorPositionSource(CursorPositionSource source);
pf::Point GetCursorPosition();

class MoveWithCursor : public Modifier {
public:
    // Confined to the game screen.
    MoveWithCursor();
    explicit MoveWithCursor(const pf::Rect& confines);

    virtual pf::Rect& GetConfines() { return confines_; }
    virtual void SetConfines(const pf::Rect& r) { confines_ = r; }
    virtual void SetOffset(pf::Point offset) { offset_ = offset; }
    virtual void SetKeepOffset(bool keep) { keepOffset_ = keep; }
    virtual void SetUseConfines(bool use) { useConfines_ = use; }
    pf::Point GetOffset() const { return offset_; }

    void Cycle() override;
    void Start() override;
    // "confines" and "offset".
    bool SetProperty(const std::wstring& name, const std::wstring& value) override;

private:
    // The cursor in the space of the client's parent.
    pf::Point CursorInParent(const Item& client) const;

    pf::Rect confines_;
    pf::Point offset_;
    bool keepOffset_ = true;
    bool useConfines_ = true;
};
