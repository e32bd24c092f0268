#include "scene/ItemLeakDetector.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "scene/Item.h"
#include "shell/foundation/Log.h"
#include "shell/Mutex.h"

namespace {

std::atomic<bool> g_enabled{false};
ItemCreationHook g_hook = nullptr;
void* g_hookContext = nullptr;

// Built on first use and never destroyed, so items released during static destruction
// still find it.
std::vector<ItemLeakDetector*>& Live() {
    static auto* live = new std::vector<ItemLeakDetector*>;
    return *live;
}

pf::Mutex& RegistryMutex() {
    static auto* mutex = new pf::Mutex;
    return *mutex;
}

// Removes the entry if it is listed (the caller holds the lock).
void Erase(ItemLeakDetector* entry) {
    auto& live = Live();
    auto it = std::find(live.begin(), live.end(), entry);
    if (it != live.end()) live.erase(it);
}

}  // namespace

ItemLeakDetector::ItemLeakDetector() {
    if (!g_enabled) return;
    ItemCreationHook hook = nullptr;
    void* context = nullptr;
    int cid = 0;
    {
        pf::MutexLock lock(RegistryMutex());
        Live().push_back(this);
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
    Erase(entry);
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
    return static_cast<int>(Live().size());
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
    auto& live = Live();
    log << L"leaked items: " << static_cast<int>(live.size()) << L"\n";
    if (live.empty()) return;
    log.Flush();
    for (size_t i = 0; i < live.size(); ++i) {
        log << static_cast<int>(i);
        const Item* item = dynamic_cast<const Item*>(live[i]);
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
    for (ItemLeakDetector* entry : Live()) {
        auto* item = dynamic_cast<Item*>(entry);
        if (item && item->GetCreationID() == cid) return item;
    }
    return nullptr;
}

Item* getItemByName(const std::wstring& name) {
    pf::MutexLock lock(RegistryMutex());
    for (ItemLeakDetector* entry : Live()) {
        auto* item = dynamic_cast<Item*>(entry);
        if (item && item->GetName() == name) return item;
    }
    return nullptr;
}
