import ruv3




def test_reading_files():
    assert fs.readResourcesFile2String(u"abc.txt") == b"abc"
    assert fs.readResourcesFile2String(u"missing.txt") == b""
    assert fs.readUserFile2String(u"missing.txt", False) == b""


def test_writing_files():
    assert fs.writeUtf8String2UserFile(u"e.txt", False, u"\u00e9") is True
    assert fs.readUserFile2String(u"e.txt", False) == b"\xc3\xa9"
    assert fs.writeUtf8String2UserFile(u"kept.txt", False, u"old")
    # Refused before anything is opened: the old file stays.
    raises(TypeError, fs.writeUtf8String2UserFile, u"kept.txt", False, b"bytes")
    raises(UnicodeEncodeError, fs.writeUtf8String2UserFile, u"kept.txt", False, u"\ud800")
    assert fs.readUserFile2String(u"kept.txt", False) == b"old"
    # A folder in the way: the real result is reported.
    assert fs.createFolder(u"busy")
    assert fs.writeUtf8String2UserFile(u"busy", False, u"x") is False
    assert fs.deleteFolder(u"busy")
    assert fs.writeUtf8String2UserFile(u"empty.txt", False, u"")
    assert fs.readUserFile2String(u"empty.txt", False) == b""


def test_names_that_leave_the_folder_or_are_cut_short_are_refused():
    import os
    parent = os.path.dirname(user_folder.rstrip("/"))
    with open(os.path.join(parent, "outside.txt"), "w") as f:
        f.write("precious")
    os.makedirs(os.path.join(parent, "sibling"), exist_ok=True)
    for name in (u"../outside.txt", u"a/../../outside.txt", u"..\\outside.txt", u"nul\x00.txt"):
        assert fs.writeUtf8String2UserFile(name, False, u"clobbered") is False, name
        assert fs.readUserFile2String(name, False) == b"", name
        assert fs.readResourcesFile2String(name) == b"", name
        assert fs.createFolder(name) is False, name
    for name in (u"../sibling", u"..", u"", u".", u"a/..", u"sibling\x00"):
        assert fs.deleteFolder(name) is False, name
    with open(os.path.join(parent, "outside.txt")) as f:
        assert f.read() == "precious"
    assert os.path.isdir(os.path.join(parent, "sibling")) and os.path.isdir(user_folder)
    assert "nul" not in os.listdir(user_folder)
    # Absolute names stay inside the folder; names with dots that are not ".." are names.
    assert fs.writeUtf8String2UserFile(u"/abs.txt", False, u"a")
    assert fs.readUserFile2String(u"abs.txt", False) == b"a"
    assert fs.writeUtf8String2UserFile(u"..dots..", False, u"d")
    assert fs.readUserFile2String(u"./..dots..", False) == b"d"
    assert fs.createFolder(u"gone") and fs.deleteFolder(u"./gone")


def test_user_path():
    path = fs.userPath
    assert path == user_folder, (path, user_folder)
    assert "\\" not in path and path.endswith("/")


def test_display_and_surface():
    display.SetClipRect(ruv3.Rect(1, 2, 3, 4))
    display.SetClipRect(None)
    s = display.CreateSurface(4, 2)
    assert (s.width, s.height) == (4, 2)
    c = s.getPixelColor(1, 0)
    assert (c.r, c.g, c.b, c.a) == (255, 0, 0, 255)
    for x, y in ((4, 0), (-1, 0), (0, 2)):
        c = s.getPixelColor(x, y)
        assert (c.r, c.g, c.b, c.a) == (0, 0, 0, 0)
    a = ruv3.Actor()
    a.surface = s
    del s
    assert a.surface.width == 4
    assert display.CreateSurface(0, 0) is None


def test_options():
    assert options.load()
    assert options.get(u"MaxFps") == u"60"
    assert options.get(u"nothing here") == u""
    options.set(u"MaxFps", u"30")
    assert options.get(u"MaxFps") == u"30"


def test_application():
    a = ruv3.Application.GetInstance()
    b = ruv3.Application.GetInstance()
    a.speed_limit = 30
    assert b.speed_limit == 30
    assert a.GetOptions() is None
    assert isinstance(a.GetEventSystem(), ruv3.EventSystem)
    assert isinstance(ruv3.GetEventSystem().mousePos, ruv3.Point)
    assert a.GetFileSystem() is None or isinstance(a.GetFileSystem(), ruv3.FileSystem)
    ticks = ruv3.getTicks()
    assert ruv3.getTicks() >= ticks
    assert ruv3.sin(0.0) == 0.0 and ruv3.sin(3.141592653589793 / 2) == 1.0
