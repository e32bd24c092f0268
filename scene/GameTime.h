// A pausable millisecond clock over the platform clock. Never paused, it reads the
// platform time itself.
#pragma once

class GameTime {
public:
    GameTime() = default;
    virtual ~GameTime() = default;

    virtual void Start();
    virtual void Pause();
    virtual bool IsPaused() const { return !running_; }
    virtual int GetTime() const;

private:
    int total_ = 0;  // ms run before the last start
    bool running_ = true;
    int start_ = 0;  // platform time of the last start
};
