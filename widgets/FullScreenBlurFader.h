// Freezes the screen into a quarter-size picture, blurs it frame by frame for the first
// half of its duration and darkens it to black over the second half.
#pragma once

#include "scene/Actor.h"
#include "scene/TimeController.h"

class FullScreenBlurFader : public Actor {
public:
    FullScreenBlurFader();
    ~FullScreenBlurFader() override;

    // Captures the back buffer and starts the blur phase; a second Start captures again
    // and restarts both phases. Nothing starts when the display cannot give a picture.
    void Start(int durationMs);
    void OnBlurTick(TimeController* controller, float shifted, bool finished);

    bool IsDarkPhase() const { return darkPhase_; }
    int GetOverlayAlpha() const { return overlayAlpha_; }
    int GetDuration() const { return duration_; }

    void Cycle() override;
    void Draw(const RenderState& in) override;

private:
    my_intrusive_ptr<TimeController> controller_;
    int duration_ = 0;
    bool darkPhase_ = false;
    int overlayAlpha_ = 0;
    bool started_ = false;
};
