# Script threads in the middle of a frame. A child's Cycle starts a thread and then lets
# it run: by building an image resource (its constructor lets go of the interpreter lock
# while it decodes), by waiting on an event, or by running plain Python until the
# interpreter switches threads. The thread tries to take a sibling not yet stepped out of
# the tree and drops its last reference; the scene refuses it, so the sibling is stepped
# in that frame and nothing the frame borrowed is freed under it.
import sys
import threading
import weakref
import ruv3


def let_go_while_decoding(done):
    for _ in range(1000):
        if done.is_set():
            return
        ruv3.ResAnim(u"t", u"sheet.png", u"1", u"1", False, 0, 0)


def let_go_while_waiting(done):
    done.wait(60)


def let_go_while_running(done):
    n = 0
    while not done.is_set() and n < 10 ** 8:
        n += 1


class Counted(ruv3.Item):
    def __init__(self):
        ruv3.Item.__init__(self)
        self.pythonOverloads = True
        self.cycles = 0

    def Cycle(self):
        self.cycles += 1


class Stepper(Counted):
    """Starts the thread, then lets it run in the way given."""

    def __init__(self, let_go, other):
        Counted.__init__(self)
        self.let_go = let_go
        self.other = other

    def Cycle(self):
        Counted.Cycle(self)
        done = threading.Event()
        thread = threading.Thread(target=self.other, args=(done,))
        thread.start()
        self.let_go(done)
        self.ran_meanwhile = done.is_set()
        thread.join()


def run_frame(let_go):
    parent = ruv3.Item()
    holder = [Counted()]
    sibling = weakref.ref(holder[0])
    outcome = {}

    def other(done):
        try:
            victim = holder.pop()
            outcome[u"children"] = len(parent.children)  # reading is allowed
            try:
                victim.parent = None
                outcome[u"removed"] = True
            except RuntimeError as e:
                outcome[u"refused"] = str(e)
            del victim
        finally:
            done.set()

    stepper = Stepper(let_go, other)
    parent.AddItem(stepper)
    parent.AddItem(holder[0])
    parent.Cycle()
    assert stepper.ran_meanwhile, let_go.__name__
    return parent, sibling, outcome


def test_each_way_of_letting_a_thread_run():
    old = sys.getswitchinterval()
    sys.setswitchinterval(0.0005)
    try:
        for let_go in (let_go_while_decoding, let_go_while_waiting, let_go_while_running):
            parent, sibling, outcome = run_frame(let_go)
            name = let_go.__name__
            assert u"removed" not in outcome, name
            assert u"Item.parent" in outcome.get(u"refused", u"") and u"main thread" in outcome[u"refused"], (
                name, outcome)
            assert outcome[u"children"] == 2, (name, outcome)
            assert sibling() is not None and sibling().cycles == 1, name
            assert [c is sibling() for c in parent.children] == [False, True], name
    finally:
        sys.setswitchinterval(old)


def test_scene_calls_from_another_thread_are_refused():
    item, other = ruv3.Item(), ruv3.Item()
    item.AddItem(other)
    calls = {
        u"Item.AddItem": lambda: item.AddItem(ruv3.Item()),
        u"Item.RemoveEventHandlersOfType": lambda: item.RemoveEventHandlersOfType(1),
        u"Item.RemoveAllDescendents": lambda: item.RemoveAllDescendents(False),
        u"Item.parent": lambda: setattr(other, "parent", None),
        u"Item.AddEventHandler": lambda: item.AddEventHandler(ruv3.ButtonHandler()),
        u"Item.RemoveAllEventHandlers": lambda: item.RemoveAllEventHandlers(),
        u"Item.AddModifierWithTC": lambda: item.AddModifierWithTC(ruv3.Fader(0), ruv3.TimeController()),
        u"Item.StopModifiers": lambda: item.StopModifiers(),
        u"Item.safeDelete": lambda: other.safeDelete(),
        u"Item.cleanup": lambda: item.cleanup(),
        u"Item.Cycle": lambda: item.Cycle(),
        u"Actor.Draw": lambda: ruv3.Actor().Draw(ruv3.RenderState()),
        u"TimeController.Cycle": lambda: ruv3.TimeController().Cycle(item),
        u"SetRootItem": lambda: ruv3.SetRootItem(None),
    }
    refused = {}

    def other_thread():
        for name, call in calls.items():
            try:
                call()
            except RuntimeError as e:
                refused[name] = str(e)

    thread = threading.Thread(target=other_thread)
    thread.start()
    thread.join()
    for name in calls:
        assert name in refused and refused[name].startswith(name + u":"), (name, refused.get(name))
    assert [c is other for c in item.children] == [True]
    # The same calls on the main thread go through.
    item.AddItem(ruv3.Item())
    item.Cycle()
    assert len(item.children) == 2
