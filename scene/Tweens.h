// Modifiers that move a value from where the client stood at Start to a destination by
// the shifted value: Mover2 (position, any item), Rotator2, Scaler2 and Fader2 (actors).
#pragma once

#include "scene/Modifier.h"
#include "shell/foundation/ValueTypes.h"
#include "shell/foundation/VectorMath.h"

class Mover2 : public Modifier {
public:
    Mover2() { SetName(L"Mover"); }
    Mover2* Init(const pf::Point& dest) {
        dest_ = dest;
        return this;
    }
    void Start() override;
    void Action(float value, float shifted) override;

private:
    pf::Point start_;
    pf::Point dest_;
};

class Rotator2 : public Modifier {
public:
    Rotator2() { SetName(L"Rotator"); }
    Rotator2* Init(float destRadians) {
        dest_ = destRadians;
        return this;
    }
    void Start() override;
    void Action(float value, float shifted) override;

private:
    float start_ = 0.0f;
    float dest_ = 0.0f;
};

class Scaler2 : public Modifier {
public:
    Scaler2() { SetName(L"Scaler"); }
    Scaler2* Init(const pf::VectorT2& dest) {
        dest_ = dest;
        return this;
    }
    void Start() override;
    void Action(float value, float shifted) override;

private:
    pf::VectorT2 start_{1.0f, 1.0f};
    pf::VectorT2 dest_{1.0f, 1.0f};
};

class Fader2 : public Modifier {
public:
    Fader2() { SetName(L"Fader"); }
    Fader2* Init(int destAlpha) {
        dest_ = destAlpha;
        return this;
    }
    virtual int GetDest() const { return dest_; }
    virtual void SetDest(int dest) { dest_ = dest; }
    void Start() override;
    void Action(float value, float shifted) override;

private:
    int start_ = 255;
    int dest_ = 128;
};
