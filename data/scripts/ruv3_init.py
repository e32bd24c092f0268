# The start-up module: installs a small scene that shows what the engine and the game can
# draw (a board with plates, fog over part of it, a secret entrance, rising sparks and a
# turning star) and answers the mouse, the keys and the window's close button.
import ruv3
import game

CLOSE = 9            # EventType.Close
KEY_DOWN = 2         # EventType.KeyDown
BUTTON_UP = 7        # EventType.MouseButtonUp
ESCAPE = 27          # KeyType.Esc
KEY_SYM = 3          # EventProperty.KEY_SYM


class Tasklets(object):
    """The scene runs no tasklets; the engine only looks this up."""

    def stopTasklets(self):
        pass


tasklets = Tasklets()


def onCreateItem(cid):
    pass


ruv3.onCreateItem = onCreateItem

resources = ruv3.ResourcesXML()
resources.load(u"configs/scene.xml", None)
# The game's named resources (the caption's font among them).
ruv3.ResManager.Instance().LoadResourceDefinitions(u"xml/resources.xml")


class Stage(ruv3.Item):
    """Lies under the scene and hears every event: quits on Close or Escape, moves the
    star to a click and chimes."""

    def __init__(self, star):
        ruv3.Item.__init__(self)
        self.pythonOverloads = True
        self.star = star
        self.chime = resources.getSound(u"chime")

    def HandleEvent(self, treeState, event):
        if event.type == CLOSE or (event.type == KEY_DOWN and event.GetInt(KEY_SYM) == ESCAPE):
            ruv3.Application.GetInstance().QuitAfterCycle()
            return True
        if event.type == BUTTON_UP:
            self.star.SetPosition(event.mouse)
            player = ruv3.SoundPlayer.Instance()
            if self.chime is not None and player is not None:
                player.play(ruv3.SoundInstance(), self.chime, False, 0, 0, 1.0, False)
            return True
        return False


# The scene is drawn for 800 x 600; on a larger game screen its background is stretched
# to the screen and everything else keeps its size, centred.
SCENE_WIDTH, SCENE_HEIGHT = 800, 600
BOARD_AT = ruv3.Point(160, 60)       # the board's top-left corner in the scene
BOARD_COLUMNS, BOARD_ROWS = 12, 8    # cells of 40 pixels
PLATES = [(1, 1, 0), (3, 6, 1), (9, 6, 2), (10, 7, 3), (5, 1, 1)]   # column, row, cel
FOG = [(column, row) for column in range(8, 12) for row in range(0, 5)] + [(7, 1), (7, 2), (7, 3)]
SPARKS = 1                           # the particle system's id in configs/particles.xml


def buildBoard():
    """The board's spaces with a few plates, one of them shimmering."""
    board = game.BoardSpacesActor()
    board.SetPosition(BOARD_AT)
    board.SetBackAnim(resources.getAnim(u"board"), BOARD_COLUMNS, BOARD_ROWS)
    board.SetPlatesAnim(resources.getAnim(u"plates"), None)
    for column in range(BOARD_COLUMNS):
        for row in range(BOARD_ROWS):
            board.SetSpaceOpacity(column, row, 255)
    for column, row, cel in PLATES:
        board.SetPlate(column, row, 1)
        board.SetCel(column, row, cel)
    shimmer = game.SpaceShimmerModifier()
    shimmer.Init(5, 1, 4)
    board.AddModifierWithTC(shimmer, ruv3.TimeController().Init(1600, ruv3.TimeController.Forward, -1))
    return board


def buildFog():
    """Fog over the board's upper right, billowing."""
    fog = game.FogTurbulenceActor()
    fog.SetPosition(BOARD_AT)
    fog.resanim = resources.getAnim(u"fog")
    for column, row in FOG:
        fog.AddCel(column, row)
    fog.Init(5.0, 3.0, 5.0)
    return fog


def buildEntrance():
    """A secret entrance in the board: its top corners open, its top edge softened."""
    entrance = game.SecretEntranceActor()
    entrance.SetPosition(ruv3.Point(BOARD_AT.x + 80, BOARD_AT.y + 120))
    entrance.Init(resources.getAnim(u"entrance"), 3, 3)
    entrance.SetCellStatus(0, 0, False)
    entrance.SetCellStatus(2, 0, False)
    entrance.Cut(40, 0, resources.getAnim(u"entrance_mask"))
    return entrance


def buildSparks():
    """Sparks rising from the ground on the right."""
    sparks = game.ParticleActor()
    if game.ParticleActor.init(u"configs/particles.xml"):
        sparks.addParticles(SPARKS, ruv3.Point(700, 470), 1)
    return sparks


def buildScene():
    root = ruv3.RootItem()
    width, height = root.width, root.height   # the game screen's size
    background = ruv3.Actor()
    background.resanim = resources.getAnim(u"scene_bg")
    background.scaleX = float(width) / SCENE_WIDTH
    background.scaleY = float(height) / SCENE_HEIGHT
    root.AddItem(background)

    scene = ruv3.Item()
    scene.SetPosition(ruv3.Point((width - SCENE_WIDTH) // 2, (height - SCENE_HEIGHT) // 2))
    root.AddItem(scene)
    scene.AddItem(buildBoard())
    scene.AddItem(buildEntrance())
    scene.AddItem(buildFog())
    scene.AddItem(buildSparks())

    star = ruv3.Actor()
    star.resanim = resources.getAnim(u"star")
    star.setOriginToCenter()
    star.SetPosition(ruv3.Point(width // 2, height // 2))
    turn = ruv3.Rotator(6.283)
    star.AddModifierWithTC(turn, ruv3.TimeController().Init(3000, ruv3.TimeController.Forward, -1))

    caption = ruv3.TextBlock()
    caption.font = u"caption"
    caption.text = u"Click to move the star. Escape quits."
    caption.SetPosition(ruv3.Point(40, 540))

    stage = Stage(star)
    stage.priority = -1
    root.AddItem(stage)
    root.AddItem(star)
    scene.AddItem(caption)
    return root


def frameCap():
    """The player's "maxFPS" option when set, 60 frames a second otherwise."""
    options = ruv3.Application.GetInstance().GetOptions()
    try:
        fps = int(options.get(u"maxFPS")) if options is not None else 0
    except ValueError:
        fps = 0
    return fps if fps > 0 else 60


ruv3.SetRootItem(buildScene())
capped = False


def postCycleCall():
    # The game lifts the loading screen's frame cap when the start-up ends: the first
    # cycle after it sets the scene's, so that an idle window does not take a whole core.
    global capped
    if not capped:
        ruv3.Application.GetInstance().speed_limit = frameCap()
        capped = True
