// Script classes of the platform shell: BlendMode and Display, FileSystem, Application
// and OptionList, and the module functions GetAsyncKeyState, renderItemIntoSurface and
// messageBoxAssert.
#include <boost/python.hpp>

#include <string>

#include "scene/Item.h"
#include "scene/RenderIntoSurface.h"
#include "script/bindings/Bindings.h"
#include "script/bindings/Holders.h"
#include "script/bindings/SceneThread.h"
#include "shell/Application.h"
#include "shell/Display.h"
#include "shell/FileSystem.h"
#include "shell/Game.h"
#include "shell/foundation/Log.h"
#include "shell/OptionList.h"
#include "shell/Settings.h"
#include "shell/pixels/Surface.h"
#include "shell/platform/KeyState.h"
#include "shell/platform/MessageBox.h"

namespace bp = boost::python;

namespace ruv3module {

namespace {

using Existing = bp::return_value_policy<bp::reference_existing_object>;

// ---- Display ----------------------------------------------------------------------------

void SetClipRect(pf::Display& display, const bp::object& rect) {
    if (rect.is_none()) {
        display.SetClipRect(nullptr);
        return;
    }
    const pf::Rect r = bp::extract<pf::Rect>(rect);
    display.SetClipRect(&r);
}

bp::object CreateSurface(pf::Display& display, int width, int height) {
    my_intrusive_ptr<pf::Surface> s = display.CreateSurface(width, height, pf::PixelFormat::A8R8G8B8);
    return s ? bp::object(s) : bp::object();
}

// ---- FileSystem -------------------------------------------------------------------------

bp::object BytesOf(const pf::FileBuffer& buffer) {
    PyObject* bytes = PyBytes_FromStringAndSize(reinterpret_cast<const char*>(buffer.data()),
                                                static_cast<Py_ssize_t>(pf::ContentSize(buffer)));
    if (!bytes) bp::throw_error_already_set();
    return bp::object(bp::handle<>(bytes));
}

bp::object ReadUserFile(pf::FileSystem& fs, const std::wstring& path, bool allowScrambled) {
    pf::FileBuffer buffer;
    if (pf::StaysInsideFolder(path)) fs.ReadUserFile(buffer, path, allowScrambled);
    return BytesOf(buffer);
}

bp::object ReadResourceFile(pf::FileSystem& fs, const std::wstring& path) {
    pf::FileBuffer buffer;
    if (pf::StaysInsideFolder(path)) fs.ReadResourceFile(buffer, path);
    return BytesOf(buffer);
}

// The text is encoded before anything is opened (a text that cannot be encoded leaves
// the old file as it was), and the new file replaces the old one only when all of it
// was written: the answer says whether that happened.
bool WriteUtf8(pf::FileSystem& fs, const std::wstring& path, bool scramble, const bp::object& text) {
    if (!PyUnicode_Check(text.ptr())) {
        PyErr_SetString(PyExc_TypeError, "writeUtf8String2UserFile takes a str");
        bp::throw_error_already_set();
    }
    bp::handle<> encoded(PyUnicode_AsUTF8String(text.ptr()));
    const std::string bytes(PyBytes_AS_STRING(encoded.get()), static_cast<size_t>(PyBytes_GET_SIZE(encoded.get())));
    return pf::StaysInsideFolder(path) && pf::WriteUserFile(fs, path, bytes, scramble);
}

// ---- Application ------------------------------------------------------------------------

pf::Application2& Instance() { return pf::Application2::GetInstance(); }

pf::OptionList* Options(pf::Application2& app) {
    pf::Game* game = app.GetGame();
    pf::Settings* settings = game ? game->GetSettings() : nullptr;
    return settings ? &settings->GetOptions() : nullptr;
}

// ---- Module functions -------------------------------------------------------------------

// "shift" and "esc" by name, else the first character's code taken as a signed byte.
bool GetAsyncKeyState(const std::string& key) {
    int code = 0;
    if (key == "shift") code = 0x10;
    else if (key == "esc") code = 0x1B;
    else if (!key.empty()) code = static_cast<signed char>(key[0]);
    return pf::IsVirtualKeyDown(pf::Application2::GetInstance().GetWindow(), code);
}

int MessageBoxAssert(const std::wstring& text) {
    return pf::GetMessageBoxService().AskAbortRetryIgnore(L"Ruv3 Python", text);
}

}  // namespace

void RegisterDisplay() {
    bp::enum_<pf::BlendMode>("BlendMode")
        .value("Disable", pf::BlendMode::Disable)
        .value("Alpha", pf::BlendMode::Alpha)
        .value("Add", pf::BlendMode::Add)
        .value("AddAlpha", pf::BlendMode::AddAlpha);
    bp::class_<pf::Display, boost::noncopyable>("Display", bp::no_init)
        .def("SetClipRect", &SetClipRect)
        .def("CreateSurface", &CreateSurface);
}

void RegisterFileSystem() {
    bp::class_<pf::FileSystem, boost::noncopyable>("FileSystem", bp::no_init)
        .add_property("userPath", +[](pf::FileSystem& fs) {
            std::wstring path = pf::UserFolderPath(fs);
            for (wchar_t& c : path)
                if (c == L'\\') c = L'/';
            return path;
        })
        .def("createFolder", +[](pf::FileSystem& fs, const std::wstring& path) {
            return pf::StaysInsideFolder(path) && fs.CreateFolder(path, 0);
        })
        .def("deleteFolder", +[](pf::FileSystem& fs, const std::wstring& path) {
            return pf::StaysInsideFolder(path) && fs.DeleteFolder(path);
        })
        .def("readUserFile2String", &ReadUserFile)
        .def("readResourcesFile2String", &ReadResourceFile)
        .def("writeUtf8String2UserFile", &WriteUtf8);
}

void RegisterApplication() {
    using A = pf::Application2;
    bp::class_<A, boost::noncopyable>("Application", bp::no_init)
        .def("GetInstance", &Instance, Existing())
        .staticmethod("GetInstance")
        .add_property("speed_limit", +[](A& a) { return a.GetMaxFPS(); }, +[](A& a, int fps) { a.SetMaxFPS(fps); })
        .add_property("fullscreen", +[](A& a) { return a.GetFullscreen(); }, +[](A& a, bool on) { a.SetFullscreen(on); })
        .def("GetFullscreen", &A::GetFullscreen)
        .def("SetFullscreen", &A::SetFullscreen)
        // The engine's names are the other way round: SetDebugText switches the overlay,
        // showDebugText sets its text.
        .def("showDebugText", +[](A& a, bool on) { a.SetDebugText(on); })
        .def("SetDebugText", +[](A& a, const std::string& text) { a.showDebugText(text.c_str()); })
        .def("GetFileSystem", &A::GetFileSystem, Existing())
        .def("GetEventSystem", &A::GetEventSystem, Existing())
        .def("GetDisplay", &A::GetDisplay, Existing())
        .def("QuitAfterCycle", &A::QuitAfterCycle)
        .def("GetOptions", &Options, Existing());

    bp::class_<pf::OptionList, boost::noncopyable>("OptionList", bp::no_init)
        .def("get", &pf::OptionList::GetValue)
        .def("set", &pf::OptionList::SetValue)
        .def("load", &pf::OptionList::load)
        .def("save", &pf::OptionList::save);
}

void RegisterGetAsyncKeyState() { bp::def("GetAsyncKeyState", &GetAsyncKeyState); }

// Draws through the application's display; the engine answers false (and logs why) for a
// missing item, target or display and for rectangles that do not fit.
void RegisterRenderItemIntoSurface() {
    bp::def("renderItemIntoSurface",
            OnSceneThread("renderItemIntoSurface",
                          +[](Item* item, const pf::Rect& source, pf::Surface* target, const pf::Rect& dest) {
                              return renderItemIntoSurface(pf::Application2::GetInstance().GetDisplay(), item,
                                                           source, target, dest);
                          }));
}

void RegisterMessageBoxAssert() { bp::def("messageBoxAssert", &MessageBoxAssert); }

}  // namespace ruv3module
