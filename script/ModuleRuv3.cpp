#include "script/ModuleRuv3.h"

#include <boost/python.hpp>

#include <cmath>

#include "scene/Callback.h"
#include "script/PythonHost.h"
#include "script/bindings/Bindings.h"
#include "script/bindings/ContentBindings.h"
#include "shell/Clock.h"
#include "shell/Random.h"

namespace bp = boost::python;

namespace ruv3module {

void RegisterCallbackClass() { bp::class_<Callback>("Callback", bp::init<>()); }

void RegisterGetTicks() {
    bp::def("getTicks", +[]() { return pf::NowMs(); });
}

void RegisterRand32b() {
    bp::def("rand32b", +[]() { return pf::rand32b(); });
}

void RegisterSin() {
    bp::def("sin", +[](float x) { return static_cast<float>(std::sin(x)); });
}

const std::vector<RegistrationStep>& RegistrationSteps() {
    static const std::vector<RegistrationStep> steps = {
        {"Callback", &RegisterCallbackClass},
        {"Point", &RegisterPoint},
        {"Color", &RegisterColor},
        {"Rect", &RegisterRect},
        {"ItemsParent, Items, RefCounter, Item, GetItemByPoint, ConvertPoint, GetUnionChildRect", &RegisterItemClasses},
        {"Actor", &RegisterActor},
        {"widgets, RootItem, GetRootItem, SetRootItem", &RegisterWidgets},
        {"modifiers, time controllers, time curves", &RegisterModifiers},
        {"Event, EventSystem, GetEventSystem, sin, KeyType, ButtonType, EventType, EventProperty", &RegisterEventClasses},
        {"RenderState, TreeState", &RegisterRenderAndTreeState},
        {"BlendMode, Display", &RegisterDisplay},
        {"Vector3, Vector2, Matrix", &RegisterVectorsAndMatrix},
        {"input handlers, clock handlers", &RegisterHandlers},
        {"resources", &RegisterResources},
        {"sound", &RegisterSound},
        {"ToPoint", &RegisterToPoint},
        {"ToColor", &RegisterToColor},
        {"Surface", &RegisterSurface},
        {"FileSystem", &RegisterFileSystem},
        {"Application, OptionList", &RegisterApplication},
        {"ThreadResourcesQueue", &RegisterThreadResourcesQueue},
        {"getTicks", &RegisterGetTicks},
        {"GetAsyncKeyState", &RegisterGetAsyncKeyState},
        {"rand32b", &RegisterRand32b},
        {"renderItemIntoSurface", &RegisterRenderItemIntoSurface},
        {"messageBoxAssert", &RegisterMessageBoxAssert},
        {"getItemByID", &RegisterGetItemByID},
        {"getItemByName", &RegisterGetItemByName},
    };
    return steps;
}

}  // namespace ruv3module

BOOST_PYTHON_MODULE(ruv3) {
    for (const ruv3module::RegistrationStep& step : ruv3module::RegistrationSteps()) {
        if (step.run) step.run();
    }
}
