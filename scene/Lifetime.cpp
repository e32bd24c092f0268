#include "scene/Lifetime.h"

#include <vector>

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

namespace {
std::vector<my_intrusive_ptr<RefCounter>>& Kept() {
    static thread_local std::vector<my_intrusive_ptr<RefCounter>> kept;
    return kept;
}
}  // namespace

void KeepUntilWalksEnd(RefCounter* p) {
    if (p && WalkScope::Open() && (p->GetRefCount() > 0 || p->GetScriptPeer())) Kept().emplace_back(p);
}

size_t WalkScope::KeptCount() { return Kept().size(); }

void WalkScope::ReleaseKept() {
    // Oldest first, one at a time. A release may run code that opens and closes walks of
    // its own and keeps more: that comes after this batch.
    while (!Kept().empty()) {
        std::vector<my_intrusive_ptr<RefCounter>> batch;
        batch.swap(Kept());
        ++Depth();
        for (auto& p : batch) p.reset();
        --Depth();
    }
}
