#include "shell/foundation/Base.h"

#include <atomic>
#include <sstream>

namespace {
std::atomic<int> g_creationCounter{0};
}  // namespace

int GetLastCreationID() { return g_creationCounter.load(); }

Base::Base() : Base(L"Base") {}

Base::Base(const std::wstring& name) : name_(name) { GenCreationID(); }

Base::Base(const Base& other) : RefCounter(other), name_(other.name_), verbose_(other.verbose_) {
    GenCreationID();
}

void Base::GenCreationID() { cid_ = ++g_creationCounter; }

int Base::SetVerbose(int level) {
    const int previous = verbose_;
    verbose_ = level;
    return previous;
}

std::wstring Base::ToString() const {
    std::wostringstream out;
    out << L"'" << name_ << L"'  cid: " << cid_ << L"\n";
    return out.str();
}
