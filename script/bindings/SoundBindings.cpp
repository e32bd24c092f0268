// Script classes of the sound layer: the sound player and its instances, the sound system
// and channel interfaces, and the named sound interface no engine object implements.
#include <boost/python.hpp>

#include <string>

#include "content/Resources.h"
#include "script/bindings/ContentBindings.h"
#include "sound/SoundPlayer.h"

namespace bp = boost::python;

namespace ruv3module {

namespace {

// A sound interface of the scripts' vocabulary; nothing implements it and nothing hands
// one out, so scripts can name the class but never hold an object of it.
class Ruv3SoundSystem {
public:
    virtual ~Ruv3SoundSystem() = default;
    virtual void Event(const char* name, double value) = 0;
    virtual void Play(const wchar_t* name) = 0;
    virtual void Stop(const wchar_t* name) = 0;
    virtual void PlayLoop(const wchar_t* name) = 0;
    virtual void AutoCacheMode(bool on) = 0;
    virtual void PreCacheSound(const wchar_t* name) = 0;
    virtual void RemoveFromCache(const wchar_t* name) = 0;
    virtual void PauseAll() = 0;
    virtual void ResumeAll() = 0;
};

template <void (Ruv3SoundSystem::*Op)(const wchar_t*)>
void CallWithText(Ruv3SoundSystem& s, const std::wstring& text) {
    (s.*Op)(text.c_str());
}

// The resource lists players play their shared sounds from, held here while a player
// names them: the player itself keeps only a plain pointer. A dictionary of the
// interpreter's own (player address to list), never destroyed from C++: it must not
// outlive the interpreter's finalisation as a C++ static would.
bp::dict& SharedLists() {
    static auto* lists = new bp::dict();
    return *lists;
}

bp::object PlayerKey(const SoundPlayer* player) { return bp::object(reinterpret_cast<uintptr_t>(player)); }

void SetSharedSoundResources(SoundPlayer& player, const bp::object& list) {
    Resources* resources = list.is_none() ? nullptr : bp::extract<Resources*>(list)();
    player.setSharedSoundResources(resources);
    bp::dict& lists = SharedLists();
    if (resources) {
        lists[PlayerKey(&player)] = list;
    } else if (lists.has_key(PlayerKey(&player))) {
        bp::api::delitem(lists, PlayerKey(&player));
    }
}

// A player a script made: its instances are stopped when the script object goes (the
// player's destructor), and its shared list is let go.
class ScriptSoundPlayer : public SoundPlayer {
public:
    ScriptSoundPlayer(PyObject*, SoundSystem* system) : SoundPlayer(system) {}
    ~ScriptSoundPlayer() {
        setSharedSoundResources(nullptr);
        bp::dict& lists = SharedLists();
        if (lists.has_key(PlayerKey(this))) bp::api::delitem(lists, PlayerKey(this));
    }
};

// Instances reach scripts as their own script object when a script made them, else
// counted, so one the player lets go stays valid while the script holds it.
bp::object InstanceToScript(SoundInstance* instance) {
    if (!instance || instance->GetScriptPeer()) return ToScript(instance);
    return bp::object(my_intrusive_ptr<SoundInstance>(instance));
}

bp::object Play(SoundPlayer& player, SoundInstance* instance, ResSound* res, bool loop, unsigned fadeInMs,
                unsigned fadeOutMs, float volume, bool paused) {
    return InstanceToScript(player.play(instance, res, loop, fadeInMs, fadeOutMs, volume, paused));
}

}  // namespace

void RegisterSound() {
    bp::class_<Ruv3SoundSystem, boost::noncopyable>("Ruv3SoundSystem", bp::no_init)
        .def("Event", +[](Ruv3SoundSystem& s, const std::string& name, double v) { s.Event(name.c_str(), v); })
        .def("Play", &CallWithText<&Ruv3SoundSystem::Play>)
        .def("Stop", &CallWithText<&Ruv3SoundSystem::Stop>)
        .def("PlayLoop", &CallWithText<&Ruv3SoundSystem::PlayLoop>)
        .def("AutoCacheMode", &Ruv3SoundSystem::AutoCacheMode)
        .def("PreCacheSound", &CallWithText<&Ruv3SoundSystem::PreCacheSound>)
        .def("RemoveFromCache", &CallWithText<&Ruv3SoundSystem::RemoveFromCache>)
        .def("PauseAll", &Ruv3SoundSystem::PauseAll)
        .def("ResumeAll", &Ruv3SoundSystem::ResumeAll);

    bp::class_<Channel, boost::noncopyable>("Channel", bp::no_init);

    bp::class_<SoundSystem, boost::noncopyable>("SoundSystem", bp::no_init)
        .def("isAvailable", &SoundSystem::isAvailable);

    bp::class_<SoundPlayer, ScriptSoundPlayer, boost::noncopyable>("SoundPlayer", bp::init<SoundSystem*>())
        .def("getSoundSystem", &SoundPlayer::getSoundSystem, bp::return_value_policy<bp::reference_existing_object>())
        .def("Instance", &SoundPlayer::Instance, bp::return_value_policy<bp::reference_existing_object>())
        .staticmethod("Instance")
        .def("play", &Play)
        .def("resumeAll", &SoundPlayer::resumeAll)
        .def("pauseAll", &SoundPlayer::pauseAll)
        .def("stopAll", &SoundPlayer::stopAll)
        .def("stopAllByID", &SoundPlayer::stopAllByID)
        .def("getSoundInstanceByIndex",
             +[](SoundPlayer& p, int index) { return InstanceToScript(p.getSoundInstanceByIndex(index)); })
        .def("getSoundInstancesCount", &SoundPlayer::getSoundInstancesCount)
        .def("setSharedSoundResources", &SetSharedSoundResources)
        .def("setSharedResourcesVolume", &SoundPlayer::setSharedResourcesVolume)
        .def("setVolume", &SoundPlayer::setVolume)
        .def("update", &SoundPlayer::update);

    bp::class_<SoundInstance, classWrap<SoundInstance>, bp::bases<RefCounter>, boost::noncopyable>("SoundInstance",
                                                                                                  bp::init<>())
        .def("getLength", &SoundInstance::getLength)
        .def("stop", &SoundInstance::stop)
        .def("isPlaying", &SoundInstance::isPlaying)
        .def("fadeOut", &SoundInstance::fadeOut)
        .add_property("volume", &SoundInstance::getVolume, &SoundInstance::setVolume);
    bp::register_ptr_to_python<my_intrusive_ptr<SoundInstance>>();
}

}  // namespace ruv3module
