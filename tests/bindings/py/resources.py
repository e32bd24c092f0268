import gc
import ruv3
from hypothesis import given, settings, strategies as st

FEW = settings(max_examples=examples(25), deadline=None, database=None)


@FEW
@given(st.integers(-5, 40), st.text(max_size=8))
def test_descriptor_parameters(index, value):
    d = ruv3.ResID()
    assert (d.id, d.path) == (u"", u"")
    if index < 0:
        raises(IndexError, d.SetParam, index, value)
        raises(IndexError, d.GetParam, index)
        return
    d.SetParam(index, value)
    for i in range(10):
        assert d.GetParam(i) == (value if i == index else u"")
    assert d.GetParam(index) == (value if index < 10 else u"")


def test_descriptor_edges():
    d = ruv3.ResID()
    d.SetParam(2, u"two")
    assert d.GetParam(12) == u"two"
    d.SetParam(11, u"eleven")
    assert d.GetParam(1) == u"" and d.GetParam(11) == u""
    d.id, d.path = u"x", u"y.png"
    assert (d.id, d.path) == (u"x", u"y.png")


def test_manager():
    m = ruv3.ResManager.Instance()
    assert m.LoadAnim(u"no such id") is None
    assert m.LoadResourceDefinitions(u"missing.xml") is False
    raises(RuntimeError, ruv3.ResManager)
    assert ruv3.LoadSoundFile(u"s", u"missing.ogg") is None


def test_image_resources():
    a = ruv3.ResAnim(u"sheet", u"sheet.png", u"3", u"2", False, 0, 0)
    assert isinstance(a, ruv3.Res) and a.id == u"sheet" and a.name == u"sheet"
    assert a.isLoaded and (a.cels, a.loops) == (3, 2)
    assert (a.width, a.height) == (100, 100) and a.size == (100, 100)
    assert isinstance(a.getCel(1, 2), ruv3.Surface) and a.pos == (0, 0)
    part = a.CreateResAnimFromRect(ruv3.Rect(10, 10, 20, 30))
    assert (part.width, part.height) == (20, 30)
    a.name = u"renamed"
    assert a.id == u"renamed"
    # A missing file: the noise stand-in, and the anim still comes back.
    missing = ruv3.ResAnim(u"gone", u"gone.png", u"1", u"1", False, 0, 0)
    assert (missing.width, missing.height) == (256, 256)
    deferred = ruv3.ResAnim(u"later", u"tile.png", u"2", u"1", True, 40, 30)
    assert not deferred.isLoaded
    deferred.load()
    assert deferred.isLoaded and deferred.width == 20
    deferred.unload()
    deferred.createCels(1, 1)
    empty = ruv3.createEmptyResAnim(256, 128, 2, 1)
    assert (empty.cels, empty.loops, empty.width, empty.height) == (2, 1, 128, 128)


def test_actor_image_and_progress_bar_anims():
    a = ruv3.ResAnim(u"tile", u"tile.png", u"1", u"1", False, 0, 0)
    actor = ruv3.Actor()
    assert actor.resanim is None
    actor.resanim = a
    del a
    gc.collect()
    assert actor.resanim.id == u"tile" and actor.resanim.width == 40
    bar = ruv3.ProgressBar()
    bar.SetAnimFull(actor.resanim)
    bar.SetAnimEmpty(ruv3.createEmptyResAnim(40, 30, 1, 1))
    gc.collect()
    bar.bar_type = "Horizontal"
    bar.percentage = 50.0


def test_fonts_and_sounds():
    f = ruv3.ResFont(u"f", u"No Such Font", 12, 0.0, False, False, False)
    assert isinstance(f, ruv3.Res) and f.id == u"f"
    s = ruv3.createResSound(u"beep", u"beep.ogg")
    assert isinstance(s, ruv3.ResSound) and s.id == u"beep"
    lst = ruv3.ResourcesXML()
    assert lst.count == 0 and lst.getAnim(u"x") is None and lst.getFont(u"x") is None
    assert lst.getSound(u"x") is None and lst.getAnimByIndex(0) is None
    assert lst.load(u"missing.xml", None) is False
