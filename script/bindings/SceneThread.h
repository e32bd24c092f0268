// The scene belongs to the main thread: the thread that starts the interpreter. Script
// threads run only while the main thread lets go of the interpreter lock (an image
// resource's constructor, a blocking wait, the interpreter's own switching), which can be
// in the middle of a walk over the scene's lists; a call from such a thread that changes
// the tree, the handlers, the pairs or an item's lifetime, or that walks the scene, is
// refused with a script error instead.
#pragma once

#include <boost/python/default_call_policies.hpp>
#include <boost/python/make_function.hpp>
#include <boost/python/signature.hpp>

#include <functional>
#include <utility>

namespace ruv3module {

// Records the calling thread as the scene's; the script host calls it once as it starts
// the interpreter.
void RecordSceneThread();

// Raises a RuntimeError naming `what` (as scripts write it, "Item.AddItem") unless the
// caller runs on the scene's thread.
void RequireSceneThread(const char* what);

// The function or member function f as a script function that first makes sure it runs
// on the scene's thread (see RequireSceneThread).
template <typename F>
boost::python::object OnSceneThread(const char* what, F f) {
    auto guarded = [what, f](auto&&... args) -> decltype(auto) {
        RequireSceneThread(what);
        return std::invoke(f, std::forward<decltype(args)>(args)...);
    };
    return boost::python::make_function(guarded, boost::python::default_call_policies(),
                                        boost::python::detail::get_signature(f));
}

}  // namespace ruv3module
