// The named, counted object every scene and resource class derives from: a creation id,
// a wide-string name, a verbosity level and a class-membership test by numeric class id.
#pragma once

#include <string>

#include "shell/foundation/RefCounter.h"

// Class ids answered by IsKindOf; part of the script interface.
struct TypeId {
    enum : int {
        Base = 0,
        Item = 1,
        Cycler = 7,
        Actor = 12,
        Button = 14,
        TStateMachine = 17,
        StateMachineXml = 18,
        EvtHandler = 20,
        ClockHandler = 21,
        RollOverHandler = 22,
        ButtonHandler = 24,
        DragHandler = 25,
        EventManager = 27,
        Res = 30,
        ResAnim = 31,
        ResFont = 33,
        ModifierFactory = 36,
        ResourceManager = 37,
        TimeShift = 38,
        ScrollItem = 39,
        ColorRect = 42,
        FullScreenFader = 43,
        Edit = 44,
        TextBlock = 45,
        SliderKnob = 47,
        TiledActor = 48,
        Box9Actor = 50,
        ProgressBar = 52,
        CursorActor = 56,
        UrlButton = 57,
        ParticleRect = 93,
        ParticleMgr = 94,
    };
};

class Base : public RefCounter {
public:
    Base();
    explicit Base(const std::wstring& name);
    // The name and verbosity are copied; the creation id is fresh, the count and the
    // script peer start empty.
    Base(const Base& other);
    Base& operator=(const Base&) = delete;
    ~Base() override = default;

    virtual const std::wstring& GetName() const { return name_; }
    virtual int GetVerbose() const { return verbose_; }
    virtual bool IsKindOf(int typeId) const { return typeId == TypeId::Base; }
    virtual void SetName(const std::wstring& name) { name_ = name; }
    virtual int SetVerbose(int level);
    virtual std::wstring ToString() const;

    int GetCreationID() const { return cid_; }

protected:
    void GenCreationID();

private:
    int cid_ = 0;
    std::wstring name_;
    int verbose_ = 0;
};

// The creation id given out last (0 before the first object).
int GetLastCreationID();
