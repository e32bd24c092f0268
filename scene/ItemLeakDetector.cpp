#include "scene/ItemLeakDetector.h"

#include <atomic>

#include "scene/Item.h"
#include "shell/foundation/Log.h"
#include "shell/Mutex.h"

namespace {

std::atomic<bool> g_enabled{false};
ItemCreationHook g_hook = nullptr;
void* g_hookContext = nullptr;

pf::Mutex& RegistryMutex() {
    static auto* mutex = new pf::Mutex;
    return *mutex;
}

}  // namespace

// The live items in registration order, linked through the entries themselves, so an
// entry leaves in constant time however many were registered before or after it. Plain
// state, never destroyed: items released during static destruction still find it.
class LiveItems {
public:
    static void Append(ItemLeakDetector* e) {
        if (e->listed_) return;
        e->prev_ = last_;
        e->next_ = nullptr;
        (last_ ? last_->next_ : first_) = e;
        last_ = e;
        e->listed_ = true;
        ++count_;
    }
    static void Remove(ItemLeakDetector* e) {
        if (!e->listed_) return;
        (e->prev_ ? e->prev_->next_ : first_) = e->next_;
        (e->next_ ? e->next_->prev_ : last_) = e->prev_;
        e->prev_ = e->next_ = nullptr;
        e->listed_ = false;
        --count_;
    }
    static ItemLeakDetector* First() { return first_; }
    static const ItemLeakDetector* Next(const ItemLeakDetector* e) { return e->next_; }
    static int Count() { return count_; }

private:
    static inline ItemLeakDetector* first_ = nullptr;
    static inline ItemLeakDetector* last_ = nullptr;
    static inline int count_ = 0;
};

namespace {

// The first item of the list, in registration order, that matches (the caller holds the
// lock); null when none.
template <typename F>
Item* FirstItem(F&& matches) {
    for (const ItemLeakDetector* e = LiveItems::First(); e; e = LiveItems::Next(e)) {
        auto* item = dynamic_cast<Item*>(const_cast<ItemLeakDetector*>(e));
        if (item && matches(*item)) return item;
    }
    return nullptr;
}

}  // namespace

ItemLeakDetector::ItemLeakDetector() {
    if (!g_enabled) return;
    ItemCreationHook hook = nullptr;
    void* context = nullptr;
    int cid = 0;
    {
        pf::MutexLock lock(RegistryMutex());
        LiveItems::Append(this);
        hook = g_hook;
        context = g_hookContext;
        cid = GetLastCreationID();
    }
    if (!hook) return;
    // Called outside the registry's lock: the hook runs script code, which loading
    // workers waiting on the same process-wide lock must not be able to block.
    try {
        hook(context, cid);
    } catch (...) {
        // The item is not constructed: its destructor never runs, so leave the list here.
        Unregister(this);
        throw;
    }
}

ItemLeakDetector::~ItemLeakDetector() { Unregister(this); }

void ItemLeakDetector::Unregister(ItemLeakDetector* entry) {
    if (!g_enabled) return;
    pf::MutexLock lock(RegistryMutex());
    LiveItems::Remove(entry);
}

void ItemLeakDetector::Initialize() {
    g_enabled = true;
    RegistryMutex().Create();
}

bool ItemLeakDetector::IsEnabled() { return g_enabled; }

void ItemLeakDetector::SetCreationHook(ItemCreationHook hook, void* context) {
    pf::MutexLock lock(RegistryMutex());
    g_hook = hook;
    g_hookContext = context;
}

int ItemLeakDetector::Count() {
    pf::MutexLock lock(RegistryMutex());
    return LiveItems::Count();
}

void ItemLeakDetector::ReportLeaks() {
    pf::DebugStream log;
    log << L"\n";
    if (!g_enabled) {
        log << L"leak detection is off: call ItemLeakDetector::Initialize() at the start of the "
               L"game's Init to list the items never destroyed";
        return;
    }
    pf::MutexLock lock(RegistryMutex());
    const int count = LiveItems::Count();
    log << L"leaked items: " << count << L"\n";
    if (count == 0) return;
    log.Flush();
    int i = 0;
    for (const ItemLeakDetector* e = LiveItems::First(); e; e = LiveItems::Next(e), ++i) {
        log << i;
        const Item* item = dynamic_cast<const Item*>(e);
        if (!item) {
            log << L") wtf?? can't cast to leak to Item\n";
        } else {
            log << L") name: '" << item->GetName() << L"' id: " << item->GetCreationID() << L"\n"
                << item->Dump(false, false) << L"\n";
        }
        log.Flush();
    }
    log << L"--------- if you want kill and find leak place -> goto Base::GenCreationID() and "
           L"uncomment assert line with your id \n";
}

Item* getItemByID(int cid) {
    pf::MutexLock lock(RegistryMutex());
    return FirstItem([cid](const Item& item) { return item.GetCreationID() == cid; });
}

Item* getItemByName(const std::wstring& name) {
    pf::MutexLock lock(RegistryMutex());
    return FirstItem([&name](const Item& item) { return item.GetName() == name; });
}
