// An argument-less callable held by value. The script layer fills it with a callable that
// runs a script function; engine code only tests and calls it.
#pragma once

#include <functional>
#include <utility>

class Callback {
public:
    Callback() = default;
    explicit Callback(std::function<void()> fn) : fn_(std::move(fn)) {}

    explicit operator bool() const { return static_cast<bool>(fn_); }
    void operator()() const {
        if (fn_) fn_();
    }

private:
    std::function<void()> fn_;
};
