// The scene services of a scene fuzz target for one run: a resource manager over the run's
// files, the modifier factory and a current root item; all are cleared again at the end.
#pragma once

#include "content/ResourceManager.h"
#include "fuzz/support/ContentHarness.h"
#include "scene/ModifierFactory.h"
#include "scene/RootItem.h"

namespace fuzzsupport {

class SceneServices {
public:
    explicit SceneServices(MemoryFileSystem& fs)
        : manager(new ResourceManager(nullptr, &display, &fs)), factory(new ModifierFactory), root(new RootItem) {
        SetResourceManager(manager.get());
        SetModifierFactory(factory.get());
        SetRootItem(root.get());
    }
    ~SceneServices() {
        SetRootItem(nullptr);
        SetModifierFactory(nullptr);
        SetResourceManager(nullptr);
    }
    SceneServices(const SceneServices&) = delete;
    SceneServices& operator=(const SceneServices&) = delete;

    MemoryDisplay display;
    my_intrusive_ptr<ResourceManager> manager;
    my_intrusive_ptr<ModifierFactory> factory;
    my_intrusive_ptr<RootItem> root;
};

}  // namespace fuzzsupport
