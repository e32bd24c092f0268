// How script objects hold engine objects they did not make: a counted reference (surfaces)
// or a weak one (items: an engine item handed to a script is not kept alive by it, and a
// script object whose item is gone refuses every use instead of reaching freed memory).
#pragma once

#include <boost/python/pointee.hpp>

#include "scene/Lifetime.h"
#include "shell/foundation/RefCounter.h"

template <class T>
T* get_pointer(const my_intrusive_ptr<T>& p) {
    return p.get();
}

template <class T>
T* get_pointer(const WeakRef<T>& p) {
    return p.get();
}

namespace boost {
namespace python {
template <class T>
struct pointee<my_intrusive_ptr<T>> {
    using type = T;
};
template <class T>
struct pointee<WeakRef<T>> {
    using type = T;
};
}  // namespace python
}  // namespace boost
