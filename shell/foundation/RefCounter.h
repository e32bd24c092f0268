// Intrusive reference counting shared by every counted engine object, and the counted
// pointer that holds such objects.
#pragma once

#include <atomic>
#include <utility>

// Shared by the shell (surfaces, the display) and everything above it; in the global
// namespace, where the scene core and everything above the shell live.

class RefCounter {
public:
    RefCounter() = default;
    // The count and the script peer are never copied.
    RefCounter(const RefCounter&) : refCount_(0), scriptPeer_(nullptr) {}
    RefCounter& operator=(const RefCounter&) { return *this; }
    virtual ~RefCounter() = default;

    virtual void AddRef() { refCount_.fetch_add(1, std::memory_order_relaxed); }
    // Destroys the object when the count goes from 1 to 0; a count of 0 or less only
    // goes further down.
    virtual void Release() {
        if (refCount_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }

    int GetRefCount() const { return refCount_.load(std::memory_order_relaxed); }
    // The script object that owns this object; set and read only by the script layer.
    void* GetScriptPeer() const { return scriptPeer_; }
    void SetScriptPeer(void* peer) { scriptPeer_ = peer; }

private:
    std::atomic<int> refCount_{0};
    void* scriptPeer_ = nullptr;
};

// Counted pointer: copies take a reference, destruction releases it; assignment takes the
// new reference before releasing the old one.
template <typename T>
class my_intrusive_ptr {
public:
    my_intrusive_ptr() = default;
    my_intrusive_ptr(T* p) : p_(p) {  // NOLINT: implicit like a raw pointer
        if (p_) p_->AddRef();
    }
    my_intrusive_ptr(const my_intrusive_ptr& o) : my_intrusive_ptr(o.p_) {}
    template <typename U>
    my_intrusive_ptr(const my_intrusive_ptr<U>& o) : my_intrusive_ptr(o.get()) {}
    my_intrusive_ptr(my_intrusive_ptr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~my_intrusive_ptr() {
        if (p_) p_->Release();
    }

    my_intrusive_ptr& operator=(const my_intrusive_ptr& o) { return reset(o.p_); }
    my_intrusive_ptr& operator=(my_intrusive_ptr&& o) noexcept {
        my_intrusive_ptr(std::move(o)).swap(*this);
        return *this;
    }
    my_intrusive_ptr& operator=(T* p) { return reset(p); }

    my_intrusive_ptr& reset(T* p = nullptr) {
        if (p) p->AddRef();
        T* old = p_;
        p_ = p;
        if (old) old->Release();
        return *this;
    }
    void swap(my_intrusive_ptr& o) noexcept { std::swap(p_, o.p_); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

template <typename T, typename U>
bool operator==(const my_intrusive_ptr<T>& a, const my_intrusive_ptr<U>& b) { return a.get() == b.get(); }
template <typename T, typename U>
bool operator!=(const my_intrusive_ptr<T>& a, const my_intrusive_ptr<U>& b) { return a.get() != b.get(); }
template <typename T>
bool operator==(const my_intrusive_ptr<T>& a, const T* b) { return a.get() == b; }
template <typename T>
bool operator!=(const my_intrusive_ptr<T>& a, const T* b) { return a.get() != b; }

