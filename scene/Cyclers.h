// Modifiers that step an actor through the cels of its animation: Cycler2 (script name
// "Cycler", driven by the shifted value) and the XML-built Cycler (cycle types, loops).
#pragma once

#include <vector>

#include "scene/Modifier.h"

class Actor;

// The client as an actor, or null.
Actor* ClientActor(const Modifier& m);

class Cycler2 : public Modifier {
public:
    Cycler2() { SetName(L"Cycler"); }

    // Replaces the frame list from its text (see FrameList.h); null leaves it empty.
    virtual void SetFrames(const char* text);
    int GetSrc() const { return src_; }
    int GetDest() const { return dest_; }
    void SetSrc(int src) { src_ = src; }
    void SetDest(int dest) { dest_ = dest; }
    const std::vector<int>& GetFrames() const { return frames_; }

    void Action(float value, float shifted) override;
    // A dest of -1 becomes the client animation's last cel.
    void Start() override;

private:
    std::vector<int> frames_;
    int src_ = 0;
    int dest_ = -1;
};

class Cycler : public Modifier {
public:
    enum CycleType : int { Forward = 1, Backward = 2, PingPong = 3, Random = 4 };

    // From an element: "name" (default "Cycler"), "loops" (1), "cycleType" (1), "frames".
    explicit Cycler(XmlData& element);
    Cycler(const Cycler& other);

    bool IsKindOf(int typeId) const override { return typeId == TypeId::Cycler || Modifier::IsKindOf(typeId); }
    virtual int GetLoops() const { return loops_; }
    virtual int GetCycleType() const { return cycleType_; }
    virtual void SetLoops(int loops) { loops_ = loops; }
    virtual void SetCycleType(int type) { cycleType_ = type; }
    const std::vector<int>& GetFrames() const { return frames_; }

    void Action(float value, float shifted) override;
    Modifier* Clone() const override { return new Cycler(*this); }
    // Finishes and leaves the runner it was added to.
    void Finish() override;
    void Start() override { Modifier::Start(); }
    // "loops" and "type".
    bool SetProperty(const std::wstring& name, const std::wstring& value) override;

private:
    // Shows frame i of the list, or cel i without one.
    void Show(Actor& client, int i) const;
    // Counts one loop off; true while loops remain.
    bool LoopsLeftAfterOne();
    // One loop ended: starts the next, or shows lastFrame and finishes.
    void EndLoop(Actor& client, int lastFrame);

    int cycleType_ = Forward;
    int loops_ = 1;
    int lastRandom_ = -1;
    std::vector<int> frames_;
};
