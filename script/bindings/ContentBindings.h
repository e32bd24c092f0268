// Registration units of the widgets, animation classes, input handlers, resources and
// sound: one function per registration step, each registering into the current scope.
#pragma once

#include <boost/python/object.hpp>

#include "scene/Callback.h"
#include "script/ScriptPeer.h"

namespace ruv3module {

// Widgets, RootItem, GetRootItem and SetRootItem.
void RegisterWidgets();
// Modifier, TimeController, TimeShift and the time curves.
void RegisterModifiers();
// Input handlers and clock handlers.
void RegisterHandlers();
// ResID, ResManager, ResourcesXML, Res, ResAnim, ResFont, ResSound and their functions.
void RegisterResources();
// SoundPlayer, SoundInstance, SoundSystem, Channel and Ruv3SoundSystem.
void RegisterSound();
void RegisterThreadResourcesQueue();

// The setter of a callback property: any script object becomes a Callback that calls it
// (a false one, such as None, makes a silent callback). Getters answer the engine's
// Callback by value.
template <class T, void (T::*Set)(const Callback&)>
void SetScriptCallback(T& target, const boost::python::object& f) {
    (target.*Set)(MakeScriptCallback(f));
}

}  // namespace ruv3module
