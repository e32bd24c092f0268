// The record with which fatal start-up and quit conditions leave the run sequence.
// Thrown and caught by value; only the application's Run catches it.
#pragma once

#include <string>

namespace pf {

struct ExceptionType {
    enum : int { User = 0, Error = 1, Quit = 2 };
};

struct ExceptionBox {
    enum : int { Default = -1, Never = 0, Always = 1 };
};

class Exception {
public:
    // The text is copied, so a thrower may pass a buffer that dies with its frame; a null
    // text stays null.
    explicit Exception(const char* text = nullptr, int type = ExceptionType::Error,
                       int box = ExceptionBox::Default)
        : hasText_(text != nullptr), text_(text ? text : ""), type_(type), box_(box) {}

    const char* GetText() const { return hasText_ ? text_.c_str() : nullptr; }
    int GetType() const { return type_; }
    int GetBox() const { return box_; }

private:
    bool hasText_;
    std::string text_;
    int type_;
    int box_;
};

}  // namespace pf
