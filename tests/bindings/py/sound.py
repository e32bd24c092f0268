# Runs with `player` (a SoundPlayer over the loopback device), `beep` (a short sound
# resource), `render(frames)` (mixes and services the device) and `free_channels()`.
import gc
import weakref
import ruv3
from hypothesis import given, settings, strategies as st

FEW = settings(max_examples=examples(20), deadline=None, database=None)

ops = st.one_of(
    st.tuples(st.just("play"), st.integers(0, 3), st.booleans(), st.integers(0, 500), st.integers(0, 500),
              st.floats(0, 2), st.booleans()),
    st.tuples(st.just("stop"), st.integers(0, 3)),
    st.tuples(st.just("fadeOut"), st.integers(0, 3), st.integers(-10, 300)),
    st.tuples(st.just("volume"), st.integers(0, 3), st.floats(allow_nan=False, width=32)),
    st.tuples(st.just("drop"), st.integers(0, 3)),
    st.tuples(st.just("render"), st.integers(1, 4096)),
    st.sampled_from([("update",), ("stopAll",), ("pauseAll",), ("resumeAll",), ("stopAllByID",)]),
)


@FEW
@given(st.lists(ops, max_size=25))
def test_random_player_sequences(steps):
    slots = [ruv3.SoundInstance() for _ in range(4)]
    for step in steps:
        kind = step[0]
        if kind == "play":
            _, i, loop, fade_in, fade_out, volume, paused = step
            assert player.play(slots[i], beep, loop, fade_in, fade_out, volume, paused) is slots[i]
        elif kind == "stop":
            slots[step[1]].stop()
            assert not slots[step[1]].isPlaying()
        elif kind == "fadeOut":
            slots[step[1]].fadeOut(step[2])
        elif kind == "volume":
            slots[step[1]].volume = step[2]
            assert slots[step[1]].volume == step[2]
        elif kind == "drop":
            slots[step[1]] = ruv3.SoundInstance()
        elif kind == "render":
            render(step[1])
        elif kind == "stopAllByID":
            player.stopAllByID(u"beep")
            assert player.getSoundInstancesCount() == 0
        else:
            getattr(player, kind)()
        # The player lists exactly the instances that play, each as its script object.
        listed = [player.getSoundInstanceByIndex(i) for i in range(player.getSoundInstancesCount())]
        assert all(x.isPlaying() for x in listed)
        assert all(x in listed for x in slots if x.isPlaying())
        assert player.getSoundInstanceByIndex(player.getSoundInstancesCount()) is None
        assert free_channels() + player.getSoundInstancesCount() == 16
    player.stopAll()
    assert player.getSoundInstancesCount() == 0 and free_channels() == 16


def test_play_with_every_channel_busy():
    held = [player.play(ruv3.SoundInstance(), beep, True, 0, 0, 1.0, False) for _ in range(16)]
    assert all(x.isPlaying() for x in held) and free_channels() == 0
    late = ruv3.SoundInstance()
    assert player.play(late, beep, False, 0, 0, 1.0, False) is late and not late.isPlaying()
    player.stopAll()
    assert free_channels() == 16


def test_a_playing_instance_lives_while_listed():
    probe = weakref.ref(player.play(ruv3.SoundInstance(), beep, True, 0, 0, 1.0, False))
    gc.collect()
    assert probe() is not None and probe().isPlaying() and probe().getLength() > 0
    probe().stop()
    gc.collect()
    assert probe() is None


def test_a_dropped_script_player_stops_its_instances():
    own = ruv3.SoundPlayer(player.getSoundSystem())
    assert own.getSoundSystem() is not None and own.getSoundSystem().isAvailable()
    kept = own.play(ruv3.SoundInstance(), beep, True, 0, 0, 1.0, False)
    assert kept.isPlaying() and free_channels() == 15
    del own
    gc.collect()
    assert not kept.isPlaying() and free_channels() == 16
    kept.stop()
    kept.fadeOut(100)


def test_shared_sound_resources_stay_alive_while_set():
    assert ruv3.SoundPlayer.Instance() is not None
    own = ruv3.SoundPlayer(None)
    assert own.getSoundSystem() is None
    assert own.play(ruv3.SoundInstance(), beep, False, 0, 0, 1.0, False).isPlaying() is False
    lst = ruv3.ResourcesXML()
    probe = weakref.ref(lst)
    player.setSharedSoundResources(lst)
    own.setSharedSoundResources(lst)
    del lst
    gc.collect()
    assert probe() is not None
    player.setSharedSoundResources(None)
    gc.collect()
    assert probe() is not None
    del own
    gc.collect()
    assert probe() is None
    player.setSharedResourcesVolume(0.5)
    player.setVolume(0.8)


def test_the_sound_interface_class_cannot_be_made():
    raises(RuntimeError, ruv3.Ruv3SoundSystem)
    raises(RuntimeError, ruv3.Channel)
    for name in ("Event", "Play", "Stop", "PlayLoop", "AutoCacheMode", "PreCacheSound", "RemoveFromCache",
                 "PauseAll", "ResumeAll"):
        assert hasattr(ruv3.Ruv3SoundSystem, name)
