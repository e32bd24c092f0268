import gc
import weakref
import ruv3
from hypothesis import given, settings, strategies as st

FEW = settings(max_examples=examples(30), deadline=None, database=None)




def test_position_and_size_adapters():
    i = ruv3.Item()
    i.pos = (10.5, 20.25)
    assert (i.posf.x, i.posf.y) == (10.5, 20.25)
    assert i.pos == (10, 20)
    i.pos = ruv3.Point(10, 20)
    assert (i.posf.x, i.posf.y) == (10.0, 20.0)
    i.SetPosition((3, 4, 99))
    assert i.position == (3, 4)
    raises(TypeError, setattr, i, "pos", [10, 20])
    raises(IndexError, setattr, i, "pos", (1,))
    i.size = (30, 40)
    assert (i.width, i.height) == (30, 40)
    i.size = ruv3.Point(5, 6)
    assert i.size == (5, 6)
    raises(TypeError, setattr, i, "size", [1, 2])
    a = ruv3.Actor()
    a.origin = (3, 4)
    assert a.origin == (3, 4)
    a.origin = ruv3.Point(1, 2)
    assert (a.originX, a.originY) == (1, 2)
    raises(TypeError, setattr, a, "origin", [1, 2])


def test_flags_and_names():
    i = ruv3.Item()
    i.hide()
    assert not i.visible
    i.show()
    assert i.visible
    i.name = u"caf\u00e9 \U0001F600"
    assert i.name == u"caf\u00e9 \U0001F600"
    i.id = 17
    assert i.id == 17 and i.GetClickID() == 17
    i.MakeModal(True)
    i.MakeModal(True)
    i.MakeModal(False)
    first, second = i.UniqueName(u"Panel"), ruv3.Actor().UniqueName(u"Panel")
    assert first.endswith(u"Panel") and second.endswith(u"Panel") and first != second


def test_parent_setter():
    a, b, c = ruv3.Item(), ruv3.Item(), ruv3.Item()
    a.AddItem(b)
    b.AddItem(c)
    raises(ValueError, setattr, a, "parent", c)
    assert a.parent is None and c.parent is b
    a.parent = a
    assert a.parent is None
    c.parent = b
    assert c.parent is b and len(b.children) == 1
    probe = weakref.ref(c)
    del c
    gc.collect()
    probe().parent = a
    gc.collect()
    assert probe() is not None and probe().parent is a and len(b.children) == 0
    probe().parent = None
    gc.collect()
    assert probe() is None and len(a.children) == 1


def test_a_raising_cleanup_still_takes_the_child_off_the_list():
    class Typo(ruv3.Item):
        def cleanup(self):
            raise NameError("typo")

    p = ruv3.Item()
    keep, bad = ruv3.Item(), Typo()
    p.AddItem(keep)
    p.AddItem(bad)
    raises(NameError, p.cleanup)
    assert bad.parent is None and len(p.children) == 1 and p.children[0] is keep
    p.cleanup()
    assert keep.parent is None and len(p.children) == 0


def test_a_cleanup_that_moves_its_item_and_raises_leaves_it_in_one_list():
    other = ruv3.Item()

    class Mover(ruv3.Item):
        def cleanup(self):
            other.AddItem(self)
            raise NameError("typo")

    p = ruv3.Item()
    moved = Mover()
    p.AddItem(moved)
    raises(NameError, p.cleanup)
    assert moved.parent is other and len(p.children) == 0
    assert len(other.children) == 1 and other.children[0] is moved
    moved.parent = None
    assert moved.parent is None and len(other.children) == 0


def test_children_list():
    p = ruv3.Item()
    kids = [ruv3.Item() for _ in range(3)]
    for n, k in enumerate(kids):
        k.name = u"k%d" % n
        p.AddItem(k)
    view = p.children
    assert len(view) == 3 and view[5] is None and view[-1] is None
    assert view[u"k1"] is kids[1] and view[u"nobody"] is None
    assert [k.name for k in view] == [u"k0", u"k1", u"k2"]
    assert p.getItemByName(u"k2") is kids[2]
    assert len(ruv3.Items()) == 0


def test_actor_channels_and_properties():
    a = ruv3.Actor()
    a.color = ruv3.Color(10, 20, 30, 40)
    a.r = 200
    c = a.color
    assert (c.r, c.g, c.b, c.a) == (200, 20, 30, 40)
    raises(OverflowError, setattr, a, "g", 256)
    a.alpha = 128
    assert a.alpha == 128 and a.SetAlpha(64) is not None
    a.blend = ruv3.BlendMode.Add
    assert a.blend == ruv3.BlendMode.Add
    a.scale = 2.0
    assert (a.scaleX, a.scaleY) == (2.0, 2.0)
    assert a.surface is None
    assert isinstance(a, ruv3.Item)


def test_events():
    e = ruv3.Event()
    assert (e.type, e.claimed, e.click_id, e.button, e.gain) == (0, False, 0, 0, False)
    e.type = ruv3.EventType.MouseWheel
    assert not e.isMouseEvent
    e.type = ruv3.EventType.MouseButtonDown
    assert e.isMouseEvent
    e.gain = True
    assert e.gain and e.GetInt(ruv3.EventProperty.ACTIVE_GAIN) == 1
    assert e.GetInt(ruv3.EventProperty.CLICK_ID) == 1
    e.type = ruv3.EventType.KeyDown
    assert e.char == u"\x00"
    assert int(ruv3.KeyType.ArrowUp) == 273 and int(ruv3.ButtonType.Right) == 3
    rs = ruv3.RenderState()
    assert rs.display is None and rs.alpha == 255 and rs.drawChildren
    rs.clipRect.width = 9
    assert rs.clipRect.width == 9
    ts = ruv3.TreeState()
    assert ts.visible and ts.enable


@FEW
@given(st.text(alphabet=st.characters(min_codepoint=0, max_codepoint=0x10FFFF), max_size=12))
def test_wide_text_round_trips(text):
    i = ruv3.Item()
    i.name = text
    assert i.name == text
    assert i.getItemByName(text) is None
    p = ruv3.Item()
    p.AddItem(i)
    assert p.children[text] is i
    p.parent = None


OPS = st.lists(st.tuples(st.sampled_from(["add", "parent", "unparent", "safeDelete", "cleanup", "del", "collect",
                                          "cycle", "lookup"]),
                         st.integers(0, 5), st.integers(0, 5)), max_size=25)


def apply_ops(items, ids, ops):
    root = get_root()
    root.AddItem(items[0])
    for op, a, b in ops:
        x, y = items[a], items[b]
        if x is None or y is None:
            continue
        if op == "add":
            x.AddItem(y)
        elif op == "parent":
            try:
                y.parent = x
            except ValueError:
                pass
        elif op == "unparent":
            y.parent = None
        elif op == "safeDelete":
            y.safeDelete()
        elif op == "cleanup":
            x.cleanup()
        elif op == "del":
            items[a] = None
        elif op == "collect":
            gc.collect()
        elif op == "cycle":
            cycle_root()
        elif op == "lookup":
            assert ruv3.getItemByID(ids[a]) is x
        # The tree stays a tree: no item is its own ancestor.
        for it in items:
            seen, p = 0, it.parent if it is not None else None
            while p is not None and seen < 10:
                assert p is not it
                p, seen = p.parent, seen + 1
    cycle_root()
    for it in items:
        if it is not None:
            it.parent = None
    root.RemoveAllDescendents(False)


@FEW
@given(OPS)
def test_random_tree_operations(ops):
    items = [ruv3.Item() if n % 2 else ruv3.Actor() for n in range(6)]
    ids = [i.itemID for i in items]
    apply_ops(items, ids, ops)
    del items
    gc.collect()
    cycle_root()
    gc.collect()
    for cid in ids:
        assert ruv3.getItemByID(cid) is None, cid


def test_items_parent_is_a_script_base_of_items_and_actors():
    assert issubclass(ruv3.Item, ruv3.ItemsParent) and issubclass(ruv3.Actor, ruv3.ItemsParent)
    assert ruv3.Item.__bases__ == (ruv3.RefCounter, ruv3.ItemsParent)
    assert issubclass(ruv3.Button, ruv3.ItemsParent)
    own = ruv3.ItemsParent()
    own.pythonOverloads = True
    assert own.pythonOverloads
    for cls in (ruv3.Item, ruv3.Actor):
        i = cls()
        assert isinstance(i, ruv3.ItemsParent) and not i.pythonOverloads
        ruv3.ItemsParent.pythonOverloads.__set__(i, True)
        assert i.pythonOverloads and ruv3.ItemsParent.pythonOverloads.__get__(i)
    # An item the engine made has no script wrapper to read the flag from.
    root = get_root()
    assert isinstance(root, ruv3.ItemsParent) and not root.pythonOverloads
    raises(TypeError, ruv3.ItemsParent.pythonOverloads.__get__, root)
    # A widget made by a script has none either: its engine class is not a wrapper.
    raises(TypeError, ruv3.ItemsParent.pythonOverloads.__get__, ruv3.Button())
