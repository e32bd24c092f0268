// The engine's script module `ruv3`: its registration steps, run in a fixed order because
// a class must be registered before the classes that name it as their base.
#pragma once

#include <vector>

namespace ruv3module {

struct RegistrationStep {
    const char* registers;  // what the step adds, for logs and tests
    void (*run)();          // null: the step's bindings are not built yet
};

// The steps in the order the module's initialisation runs them.
const std::vector<RegistrationStep>& RegistrationSteps();

// The module functions the initialisation defines itself.
void RegisterGetTicks();
void RegisterRand32b();
void RegisterSin();
void RegisterCallbackClass();

}  // namespace ruv3module
