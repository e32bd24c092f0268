// The registration units of the engine module: one function per registration step,
// grouped by engine area. Each registers into the current scope (the module being built).
#pragma once

#include <boost/python/object.hpp>

#include "shell/foundation/ValueTypes.h"

namespace ruv3module {

// Value types.
void RegisterPoint();
void RegisterColor();
void RegisterRect();
void RegisterVectorsAndMatrix();
void RegisterToPoint();
void RegisterToColor();
void RegisterSurface();

// Scene.
void RegisterItemClasses();
void RegisterActor();
void RegisterRenderAndTreeState();
void RegisterGetItemByID();
void RegisterGetItemByName();

// Events.
void RegisterEventClasses();

// Platform services.
void RegisterDisplay();
void RegisterFileSystem();
void RegisterApplication();
void RegisterGetAsyncKeyState();
void RegisterRenderItemIntoSurface();
void RegisterMessageBoxAssert();

// Raises a script exception of that type from a binding.
[[noreturn]] void RaiseScriptError(PyObject* type, const char* message);

// Script value to Point: a tuple (or subclass) gives its items 0 and 1 as ints (an
// IndexError for fewer than two); with allowPoint, anything else must be a Point.
pf::Point PointFromTuple(const boost::python::object& value, bool allowPoint);

}  // namespace ruv3module
