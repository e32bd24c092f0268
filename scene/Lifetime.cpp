#include "scene/Lifetime.h"

namespace {
// The flag handed out by an object whose destruction has begun; never freed.
WeakFlag* ExpiredFlag() {
    static WeakFlag* const expired = [] {
        auto* f = new WeakFlag;
        f->AddRef();
        f->Expire();
        return f;
    }();
    return expired;
}
}  // namespace

WeakFlag* WeakTarget::GetWeakFlag() const {
    if (expired_) return ExpiredFlag();
    if (!flag_) flag_ = new WeakFlag;
    return flag_.get();
}

void WeakTarget::ExpireWeakRefs() {
    expired_ = true;
    if (!flag_) return;
    flag_->Expire();
    flag_.reset();
}
