#include "scene/GameTime.h"

#include "shell/Clock.h"

namespace {
// Millisecond sums wrap like the platform clock instead of overflowing.
int Wrap(unsigned v) { return static_cast<int>(v); }
}  // namespace

void GameTime::Start() {
    if (running_) return;
    start_ = pf::NowMs();
    running_ = true;
}

void GameTime::Pause() {
    if (!running_) return;
    total_ = Wrap(static_cast<unsigned>(total_) + static_cast<unsigned>(pf::NowMs()) -
                  static_cast<unsigned>(start_));
    running_ = false;
}

int GameTime::GetTime() const {
    if (!running_) return total_;
    return Wrap(static_cast<unsigned>(pf::NowMs()) + static_cast<unsigned>(total_) -
                static_cast<unsigned>(start_));
}
