import ruv3

def test_smoke():
    p = ruv3.Point(1, 2)
    assert repr(p) == "ruv3.Point(1, 2)", repr(p)
