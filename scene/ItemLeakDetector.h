// The live-item registry: every Item registers itself while it exists (while the
// registry is on), so items can be found by creation id or name, the script host learns
// of each new item, and the items never destroyed can be reported at shutdown.
#pragma once

#include <string>

class Item;

// Called with (context, creation id) for every new item while the registry is on. It may
// throw; the item is then not constructed and not registered.
using ItemCreationHook = void (*)(void* context, int cid);

class ItemLeakDetector {
public:
    ItemLeakDetector();
    // A copy is another item: it registers on its own.
    ItemLeakDetector(const ItemLeakDetector&) : ItemLeakDetector() {}
    ItemLeakDetector& operator=(const ItemLeakDetector&) { return *this; }
    virtual ~ItemLeakDetector();

    // Switches the registry on (never off again).
    static void Initialize();
    static bool IsEnabled();
    static void SetCreationHook(ItemCreationHook hook, void* context);
    // Writes the list of live items to the log.
    static void ReportLeaks();
    // Number of registered entries.
    static int Count();

protected:
    // Takes the entry off the list (nothing when it is not listed), in constant time.
    static void Unregister(ItemLeakDetector* entry);

private:
    friend class LiveItems;
    // The neighbours in the list of live items, in registration order (guarded by the
    // registry's lock); `listed_` says whether this entry is on it.
    ItemLeakDetector* prev_ = nullptr;
    ItemLeakDetector* next_ = nullptr;
    bool listed_ = false;
};

// The first live item with this creation id or name, in registration order; null when none.
Item* getItemByID(int cid);
Item* getItemByName(const std::wstring& name);
