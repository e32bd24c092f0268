// The game's own modifiers: a falling piece, quakes of pieces and of the board, the
// shimmer of a board space's plate, and colour and brightness blends of an actor. Each
// does nothing while it has no client.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/Item.h"
#include "scene/Modifier.h"
#include "shell/foundation/ValueTypes.h"

// Lets the client fall (or rise) to its resting place with speed and acceleration in
// pixels per second, on the client's own clock; finishes once the offset falls below 0.
class FallModifier : public Modifier {
public:
    FallModifier() { SetName(L"FallModifier"); }
    // fromAbove: the client starts offset above rest and the offset shrinks by the speed;
    // otherwise it starts below and the offset grows by it.
    void Init(const pf::Point& rest, float offset, float speed, float acceleration, bool fromAbove);
    float GetFallSpeed() const { return speed_; }
    float GetOffset() const { return offset_; }

    void Start() override;
    void Cycle() override;
    // It finishes itself; a controller that ends in the same step finishes it no second
    // time (onDone runs once).
    void Finish() override {
        if (!IsDone()) Modifier::Finish();
    }

private:
    pf::Point rest_;
    float offset_ = 0.0f;
    float speed_ = 0.0f;
    float acceleration_ = 0.0f;
    bool fromAbove_ = true;
    uint32_t lastTicks_ = 0;
};

// Shakes a set of items around a centre, strongest at the centre and not at all 270
// pixels or more away, dying down over the period; puts them back when it finishes.
class PirnelsQuiverEffect : public Modifier {
public:
    PirnelsQuiverEffect() { SetName(L"PirnelsQuiverEffect"); }
    // Takes the enabled items of the list with their positions now; appends to earlier ones.
    void Init(float amplitude, const Item::ItemList& items, const pf::Point& centre);
    size_t GetItemCount() const { return items_.size(); }

    void Start() override {}
    void Action(float value, float shifted) override;
    void Finish() override;

private:
    float amplitude_ = 0.0f;
    pf::Point centre_;
    Item::ItemList items_;  // counted: the shaken items stay valid while the effect runs
    std::vector<pf::Point> startPositions_;
};

// Shakes the client around the position it had at Start, dying down over the period.
class BoardQuiverEffect : public Modifier {
public:
    BoardQuiverEffect() { SetName(L"BoardQuiverEffect"); }
    void Init(float amplitude) { amplitude_ = amplitude; }

    void Start() override;
    void Action(float value, float shifted) override;

private:
    float amplitude_ = 0.0f;
    float baseX_ = 0.0f;
    float baseY_ = 0.0f;
};

// Runs the plate cel of one cell of a board-spaces client through its cels once.
class SpaceShimmerModifier : public Modifier {
public:
    SpaceShimmerModifier() { SetName(L"SpaceShimmerModifier"); }
    void Init(int column, int row, int cels) {
        column_ = column;
        row_ = row;
        cels_ = cels;
    }

    void Start() override {}
    void Action(float value, float shifted) override;
    // Its last step finishes it and its controller, ending in that step, would again:
    // onDone runs once.
    void Finish() override {
        if (!IsDone()) Modifier::Finish();
    }

private:
    int column_ = 0;
    int row_ = 0;
    int cels_ = 0;
};

class Actor;

// Blends a colour of an actor client from its value at Start to the target by the
// shifted value; the colour modifier and the brightness modifier below.
class ColorBlendModifier : public Modifier {
public:
    virtual pf::Color GetTargetColor() const { return target_; }
    virtual void SetTargetColor(const pf::Color& c) { target_ = c; }
    pf::Color GetStartColor() const { return startColor_; }

    void Start() override;
    void Action(float value, float shifted) override;

protected:
    ColorBlendModifier(const wchar_t* name, const pf::Color& target, const pf::Color& start)
        : target_(target), startColor_(start) {
        SetName(name);
    }
    virtual pf::Color Read(const Actor& actor) const = 0;
    virtual void Write(Actor& actor, const pf::Color& c) const = 0;

private:
    pf::Color target_;
    pf::Color startColor_;
};

// The actor's colour multiplier, towards grey by default.
class ColorModifier : public ColorBlendModifier {
public:
    ColorModifier() : ColorBlendModifier(L"ColorModifier", pf::Color(128, 128, 128, 255), pf::Color(255, 255, 255, 255)) {}
    explicit ColorModifier(const pf::Color& target) : ColorModifier() { SetTargetColor(target); }

protected:
    pf::Color Read(const Actor& actor) const override;
    void Write(Actor& actor, const pf::Color& c) const override;
};

// The actor's additive brightness, towards none by default.
class BrightnessModifier : public ColorBlendModifier {
public:
    BrightnessModifier() : ColorBlendModifier(L"BrightnessModifier", pf::Color(0, 0, 0, 255), pf::Color(0, 0, 0, 255)) {}
    explicit BrightnessModifier(const pf::Color& target) : BrightnessModifier() { SetTargetColor(target); }

protected:
    pf::Color Read(const Actor& actor) const override;
    void Write(Actor& actor, const pf::Color& c) const override;
};
