// Script classes of the resource layer: descriptors, the resource manager, resource
// lists, image, font and sound resources, and the threaded loading queue. Resources reach
// scripts counted, so one a script holds stays valid after its list or the manager let it
// go; the ones a script makes are owned by their script objects.
#include <boost/python.hpp>

#include <string>

#include "content/ResAnim.h"
#include "content/ResFont.h"
#include "content/ResourceManager.h"
#include "content/Resources.h"
#include "content/ThreadResourcesQueue.h"
#include "scene/Actor.h"
#include "script/bindings/Bindings.h"
#include "script/bindings/ContentBindings.h"
#include "shell/Clock.h"
#include "shell/Display.h"
#include "shell/foundation/Log.h"
#include "sound/ResSoundNew.h"
#include "sound/SoundPlayer.h"

namespace bp = boost::python;

namespace ruv3module {

namespace {

template <class T>
my_intrusive_ptr<T> Counted(T* p) {
    return my_intrusive_ptr<T>(p);
}

// A sound resource as its script class; None for anything else.
my_intrusive_ptr<ResSound> CountedSound(Res* res) { return my_intrusive_ptr<ResSound>(dynamic_cast<ResSound*>(res)); }

// ---- ResID ------------------------------------------------------------------------------

constexpr int kScriptParams = 10;

// Only the first ten parameters are reachable: a larger index is ignored when set and
// taken modulo ten when read; a negative one is an IndexError.
int CheckedParamIndex(int index) {
    if (index < 0) RaiseScriptError(PyExc_IndexError, "a resource parameter index cannot be negative");
    return index;
}
void SetParam(ResID& d, int index, const std::wstring& value) {
    if (CheckedParamIndex(index) < kScriptParams) d.params[index] = value;
}
std::wstring GetParam(const ResID& d, int index) { return d.params[CheckedParamIndex(index) % kScriptParams]; }

// ---- Image and font resources -----------------------------------------------------------

// The interpreter lock is released for the decode and texture creation only: nothing of
// the script is touched meanwhile, so other script threads may run.
class ScriptUnlock {
public:
    ScriptUnlock() : state_(PyEval_SaveThread()) {}
    ~ScriptUnlock() { PyEval_RestoreThread(state_); }
    ScriptUnlock(const ScriptUnlock&) = delete;
    ScriptUnlock& operator=(const ScriptUnlock&) = delete;

private:
    PyThreadState* state_;
};

my_intrusive_ptr<ResAnim> MakeResAnim(const std::wstring& id, const std::wstring& path, const std::wstring& cels,
                                      const std::wstring& loops, bool deferred, int width, int height) {
    ResID descriptor;
    descriptor.id = id;
    descriptor.path = path;
    descriptor.params[kImageLoops] = loops;
    descriptor.params[kImageCels] = cels;
    const ResourceServices services = ResourceServices::FromApplication();
    my_intrusive_ptr<ResAnim> anim(new ResAnim);
    {
        ScriptUnlock unlock;
        anim->Init(services.loader, services.fs, services.display, &descriptor, deferred, width, height);
    }
    anim->SetId(id);
    anim->SetName(id);
    return anim;
}

my_intrusive_ptr<ResFont> MakeResFont(const std::wstring& id, const std::wstring& name, int size, float outline,
                                      bool bold, bool italic, bool underline) {
    const ResourceServices services = ResourceServices::FromApplication();
    my_intrusive_ptr<ResFont> font(new ResFont);
    font->SetId(id);
    const int start = pf::NowMs();
    font->Load(services.loader, services.fs, services.display, name, size, bold, italic, underline, outline);
    pf::DebugStream() << "d: " << (pf::NowMs() - start);
    return font;
}

void LoadAnimNow(ResAnim& anim) {
    const ResourceServices services = ResourceServices::FromApplication();
    anim.Load(services.loader, services.fs, services.display);
}

my_intrusive_ptr<ResAnim> AnimFromRect(ResAnim& anim, const pf::Rect& rect) {
    return Counted(anim.CreateFromRect(ResourceServices::FromApplication().display, rect));
}

bp::object CelSurface(ResAnim& anim, int row, int column) {
    pf::Surface* cel = anim.getCel(row, column);
    return cel ? bp::object(my_intrusive_ptr<pf::Surface>(cel)) : bp::object();
}

my_intrusive_ptr<ResAnim> CreateEmptyResAnim(int width, int height, int columns, int rows) {
    pf::Display* display = ResourceServices::FromApplication().display;
    my_intrusive_ptr<ResAnim> anim(new ResAnim);
    if (!display) {
        pf::DebugStream() << "createEmptyResAnim - no display";
        return anim;
    }
    anim->SetSurface(display, display->CreateSurface(width, height, pf::PixelFormat::A8R8G8B8), columns, rows);
    return anim;
}

// ---- Sound resources --------------------------------------------------------------------

my_intrusive_ptr<ResSound> CreateResSound(const std::wstring& id, const std::wstring& path) {
    SoundPlayer* player = SoundPlayer::Instance();
    my_intrusive_ptr<ResSoundNew> sound(new ResSoundNew);
    sound->SetId(id);
    sound->Init(ResourceServices::FromApplication().fs, player ? player->getSoundSystem() : nullptr, path);
    return sound;
}

void LoadSoundFile(const std::wstring& id, const std::wstring& path) {
    if (ResourceManager* manager = GetResourceManager()) manager->LoadSoundFile(path, id);
}

// ---- The actor's image ------------------------------------------------------------------

// Actor.resanim: the actor's image resource, counted while the script holds it.
void AddActorResAnim() {
    bp::object actor = bp::scope().attr("Actor");
    bp::object getter = bp::make_function(+[](const Actor& a) { return Counted(a.GetResAnim()); });
    bp::object setter = bp::make_function(+[](Actor& a, ResAnim* anim) { a.SetResAnimRef(anim); });
    actor.attr("resanim") = bp::import("builtins").attr("property")(getter, setter);
}

}  // namespace

void RegisterResources() {
    bp::class_<ResID>("ResID", bp::init<>())
        .add_property("id", +[](const ResID& d) { return d.id; }, +[](ResID& d, const std::wstring& v) { d.id = v; })
        .add_property("path", +[](const ResID& d) { return d.path; },
                      +[](ResID& d, const std::wstring& v) { d.path = v; })
        .def("SetParam", &SetParam)
        .def("GetParam", &GetParam);

    bp::class_<ResourceManager, boost::noncopyable>("ResManager", bp::no_init)
        .def("Instance", &GetResourceManager, bp::return_value_policy<bp::reference_existing_object>())
        .staticmethod("Instance")
        .def("LoadResourceDefinitions", &ResourceManager::LoadResourceDefinitions)
        .def("LoadAnim", +[](ResourceManager& m, const std::wstring& id) { return Counted(m.LoadAnim(id)); });

    // A list dropped while a queue still loads its images is safe: the queue holds each
    // image it has been given.
    bp::class_<Resources, boost::noncopyable>("ResourcesXML", bp::init<>())
        .def("load", &Resources::load)
        .def("getXmlFilePath", +[](Resources& r) { return std::wstring(r.getXmlFilePath()); })
        .def("getAnimByIndex", +[](Resources& r, unsigned i) { return Counted(r.getAnimByIndex(i)); })
        .def("getAnim", +[](Resources& r, const std::wstring& id) { return Counted(r.getAnim(id)); })
        .def("getFont", +[](Resources& r, const std::wstring& id) { return Counted(r.getFont(id)); })
        .def("getSound", +[](Resources& r, const std::wstring& id) { return CountedSound(r.getSound(id)); })
        .add_property("count", &Resources::GetCount);

    bp::class_<Res, my_intrusive_ptr<Res>, boost::noncopyable>("Res", bp::no_init)
        .add_property("id", &Res::GetId, &Res::SetId);

    bp::class_<ResAnim, my_intrusive_ptr<ResAnim>, bp::bases<Res>, boost::noncopyable>("ResAnim", bp::no_init)
        .def("__init__", bp::make_constructor(&MakeResAnim))
        .def("unload", &ResAnim::unload)
        .def("load", &LoadAnimNow)
        .def("createCels", &ResAnim::createCels)
        .add_property("isLoaded", &ResAnim::IsLoaded)
        .add_property("loops", &ResAnim::GetNumLoops)
        .add_property("cels", &ResAnim::GetNumCels)
        .add_property("name", &Res::GetId, &Res::SetId)
        .add_property("pos", +[](const ResAnim& a) { return a.GetPos(); })
        .add_property("size", +[](const ResAnim& a) { return pf::Point(a.GetWidth(), a.GetHeight()); })
        .add_property("width", &ResAnim::GetWidth)
        .add_property("height", &ResAnim::GetHeight)
        .def("getCel", &CelSurface)
        .def("CreateResAnimFromRect", &AnimFromRect);

    bp::class_<ResFont, my_intrusive_ptr<ResFont>, bp::bases<Res>, boost::noncopyable>("ResFont", bp::no_init)
        .def("__init__", bp::make_constructor(&MakeResFont));

    bp::class_<ResSound, my_intrusive_ptr<ResSound>, bp::bases<Res>, boost::noncopyable>("ResSound", bp::no_init);

    bp::def("LoadSoundFile", &LoadSoundFile);
    bp::def("createEmptyResAnim", &CreateEmptyResAnim);
    bp::def("createResSound", &CreateResSound);

    AddActorResAnim();
}

void RegisterThreadResourcesQueue() {
    // Dropping a queue while its workers run waits for them; what still waits is dropped.
    bp::class_<ThreadResourcesQueue, boost::noncopyable>("ThreadResourcesQueue", bp::init<>())
        .def("Start", &ThreadResourcesQueue::Start)
        .def("GetCount", &ThreadResourcesQueue::GetCount)
        .def("GetRunningThreads", &ThreadResourcesQueue::GetRunningThreads)
        .def("GetLoadedCount", &ThreadResourcesQueue::GetLoadedCount)
        .def("addResource", &ThreadResourcesQueue::addResource)
        .def("ClearQueue", &ThreadResourcesQueue::ClearQueue)
        .def("SetHightestPriority", &ThreadResourcesQueue::SetHightestPriority)
        .def("removeResource", &ThreadResourcesQueue::removeResource)
        .def("SetThreadsCount", &ThreadResourcesQueue::SetThreadsCount);
}

}  // namespace ruv3module
