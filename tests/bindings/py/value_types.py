import math
import ruv3
from hypothesis import example, given, settings, strategies as st

INT = st.integers(min_value=-2**31, max_value=2**31 - 1)
SMALL = st.integers(min_value=-10**4, max_value=10**4)
FEW = settings(max_examples=examples(40), deadline=None, database=None)




def test_point_construction():
    assert (ruv3.Point(2.9, -2.9).x, ruv3.Point(2.9, -2.9).y) == (2, -2)
    p = ruv3.Point(16777217, 1)
    assert p.x == 16777217
    assert ruv3.Point((4, 5)) == (4, 5)
    assert ruv3.Point(ruv3.Point(6, 7)) == (6, 7)
    raises(IndexError, ruv3.Point, (1,))
    assert str(ruv3.Point(3, -4)) == "3,-4"
    assert repr(ruv3.Point(3, -4)) == "ruv3.Point(3, -4)"


def test_point_operators():
    assert ruv3.Point(7, 9) / 2 == (3, 4)
    assert ruv3.Point(-7, 9) / 2 == (-3, 4)
    assert ruv3.Point(-7, 9) // 2 == (-3, 4)
    assert ruv3.Point(1, 2) + (10, 20) == (11, 22)
    assert (10, 20) + ruv3.Point(1, 2) == (11, 22)
    assert (10, 20) - ruv3.Point(1, 2) == (9, 18)
    assert ruv3.Point(1, 2) - ruv3.Point(1, 1) == (0, 1)
    assert ruv3.Point(1, 2) == (1, 2)
    assert ruv3.Point(1, 2) != (2, 1)
    assert ruv3.Point(2, 3) * 2 == (4, 6)
    assert ruv3.Point(2, 3) * (4, 5) == (8, 15)
    assert (4, 5) * ruv3.Point(2, 3) == (8, 15)
    assert (9, 8) / ruv3.Point(2, 3) == (4, 2)
    assert -ruv3.Point(2, -3) == (-2, 3)
    raises(TypeError, lambda: ruv3.Point(1, 2) - [1, 2])
    raises(ZeroDivisionError, lambda: ruv3.Point(1, 2) / 0)
    raises(ZeroDivisionError, lambda: ruv3.Point(1, 2) / (1, 0))
    raises(ZeroDivisionError, lambda: (1, 2) / ruv3.Point(0, 1))


def test_point_in_place_keeps_the_object():
    p = ruv3.Point(1, 1)
    q = p
    p += (2, 3)
    assert p is q and p == (3, 4)
    p -= ruv3.Point(1, 1)
    p *= 2
    assert p is q and p == (4, 6)
    p /= 2
    assert p is q and p == (2, 3)
    p /= (2, 3)
    assert p is q and p == (1, 1)
    assert p.Set(5, 6) is p and p.Move(1, 1) is p and p.Add(ruv3.Point(1, 1)) is p and p == (7, 8)
    try:
        p /= 0
    except ZeroDivisionError:
        pass
    else:
        raise AssertionError("division by zero in place")
    assert p == (7, 8)


def test_point_sequence():
    p = ruv3.Point(3, 4)
    assert len(p) == 2 and p[0] == 3 and p[1] == 4 and p[5] == 0
    p[1] = 9
    p[7] = 1
    assert list(p) == [3, 9]
    x, y = p
    assert (x, y) == (3, 9)


@FEW
@given(INT, INT, SMALL, SMALL)
@example(-2**31, 7, -1, 1)
@example(-2**31, -2**31, -1, -1)
@example(2**31 - 1, -2**31, -1, 1)
def test_point_arithmetic_matches_python(x, y, a, b):
    p = ruv3.Point(x, y)
    assert (p.x, p.y) == (x, y)

    def fits(v):
        return -2**31 <= v < 2**31

    for op, expected in ((lambda: p + (a, b), (x + a, y + b)),
                         (lambda: p * (a, b), (x * a, y * b)),
                         (lambda: p * a, (x * a, y * a))):
        if all(fits(v) for v in expected):
            assert op() == expected
        else:
            raises(OverflowError, op)
    if a and b:
        # Truncation toward zero, in exact integers.
        quotient = (-(abs(x) // abs(a)) if (x < 0) != (a < 0) else abs(x) // abs(a),
                    -(abs(y) // abs(b)) if (y < 0) != (b < 0) else abs(y) // abs(b))
        if all(fits(v) for v in quotient):
            q = p / (a, b)
            assert (q.x, q.y) == quotient
        else:
            # -2**31 / -1: the one quotient an int cannot hold.
            raises(OverflowError, lambda: p / (a, b))
    else:
        raises(ZeroDivisionError, lambda: p / (a, b))


@FEW
@given(st.floats(allow_nan=True, allow_infinity=True), st.floats(allow_nan=True, allow_infinity=True))
def test_point_from_any_floats(x, y):
    p = ruv3.Point(x, y)
    for value, got in ((x, p.x), (y, p.y)):
        if math.isnan(value):
            assert got == 0
        elif -2**31 <= value < 2**31:
            assert got == math.trunc(value)
        else:
            assert got in (-2**31, 2**31 - 1)


def test_color():
    c = ruv3.Color()
    assert (c.r, c.g, c.b, c.a) == (0, 0, 0, 255)
    assert ruv3.Color((10, 20, 30)).a == 255
    assert ruv3.Color((10, 20, 30, 40, 50)).a == 255
    assert ruv3.Color((10, 20, 30, 40)).a == 40
    assert repr(ruv3.Color(1, 2, 3, 4)) == "ruv3.Color(1, 2, 3, 4)"
    assert str(ruv3.Color(1, 2, 3, 4)) == "1,2,3,4"
    assert ruv3.Color((257, 2, 3)).r == 1
    c.r = 300
    assert c.r == 44


@FEW
@given(st.integers(min_value=-300, max_value=600), st.integers(min_value=0, max_value=255),
       st.integers(min_value=0, max_value=255))
def test_color_channels(r, g, b):
    if 0 <= r <= 255:
        c = ruv3.Color(r, g, b)
        assert (c.r, c.g, c.b, c.a) == (r, g, b, 255)
    else:
        raises((OverflowError, TypeError), ruv3.Color, r, g, b)
    assert ruv3.Color((r, g, b)).r == r & 0xFF


def test_rect():
    r = ruv3.Rect(1, 2, 3, 4)
    assert repr(r) == "ruv3.Rect(x = 1, y = 2, width = 3, height = 4)"
    raises(TypeError, ruv3.Rect)
    assert r.GetRight() == 3 and r.GetBottom() == 5 and not r.empty
    r.pos = ruv3.Point(10, 20)
    assert (r.x, r.y, r.width, r.height) == (10, 20, 3, 4)
    r.size = ruv3.Point(0, 5)
    assert r.empty and r.IsEmpty()
    u = ruv3.Rect(0, 0, 2, 2)
    u.Union(ruv3.Rect(5, 5, 2, 2))
    assert (u.width, u.height) == (7, 7)
    assert ruv3.Rect(u) == u and ruv3.Rect(u) is not u
    assert u.PointIn(ruv3.Point(1, 1))


@FEW
@given(SMALL, SMALL, st.integers(min_value=0, max_value=100), st.integers(min_value=0, max_value=100))
def test_rect_fields(x, y, w, h):
    r = ruv3.Rect(x, y, w, h)
    assert (r.pos, r.size) == ((x, y), (w, h))
    assert r.empty == (w <= 0 or h <= 0)


def clamp(v):
    return max(-2**31, min(2**31 - 1, v))


@FEW
@given(INT, INT, INT, INT, INT, INT, INT, INT)
def test_rect_edges_saturate_at_the_int_range(x, y, w, h, ox, oy, ow, oh):
    # Edges far out at the ends of the int range answer the nearest int instead of
    # overflowing; inside the range every answer is the exact one.
    r, o = ruv3.Rect(x, y, w, h), ruv3.Rect(ox, oy, ow, oh)
    assert r.GetRight() == clamp(x + w - 1) and r.GetBottom() == clamp(y + h - 1)
    assert r.GetBottomRight() == (clamp(x + w - 1), clamp(y + h - 1))
    assert r.PointIn(ruv3.Point(ox, oy)) == (x <= ox < x + w and y <= oy < y + h)
    assert r.Intersects(o) == (ox + ow >= x and x + w >= ox and oy + oh >= y and y + h >= oy)
    r.Intersect(o)
    for op in ("Clip", "Union", "Intersection"):
        c = ruv3.Rect(r)
        getattr(c, op)(o)
        if op == "Union":
            right = max(clamp(x + w - 1), clamp(ox + ow - 1))
            assert (c.x, c.width) == (min(x, ox), clamp(right - min(x, ox) + 1))
    m = ruv3.Rect(r)
    m.MoveRelative(ruv3.Point(ox, oy))
    assert (m.x, m.y) == (clamp(x + ox), clamp(y + oy))
    m.Resize(ow, oh)
    assert (m.width, m.height) == (clamp(w + ow), clamp(h + oh))


def test_vectors_and_matrix():
    v = ruv3.Vector3(1, 2, 2)
    assert v.Length() == 3.0 and v.SqLength() == 9.0
    w = v
    v += ruv3.Vector3(1, 1, 1)
    v /= 2.0
    assert v is w and (v.x, v.y, v.z) == (1.0, 1.5, 1.5)
    assert -ruv3.Vector3(1, 0, 0) == ruv3.Vector3(-1, 0, 0)
    v2 = ruv3.Vector2(3, 4)
    assert v2.length() == 5.0
    u = v2
    v2 *= 2.0
    assert v2 is u and (v2.x, v2.y) == (6.0, 8.0)
    m = ruv3.Matrix()
    assert m.Translation(ruv3.Vector3(5, 6, 0)) is m
    t = m.TransformVec3(ruv3.Vector3(1, 1, 0))
    assert (t.x, t.y, t.z) == (6.0, 7.0, 0.0)
    i = m.GetInverse().TransformVec3(t)
    assert abs(i.x - 1) < 1e-5 and abs(i.y - 1) < 1e-5
    assert (m * m.GetInverse()).TransformVec3(ruv3.Vector3(2, 3, 0)).x - 2 < 1e-5
    assert ruv3.Matrix() == ruv3.Matrix().Identity()


def test_text_parsers():
    assert ruv3.ToPoint(u"3,4") == (3, 4)
    c = ruv3.ToColor(u"1,2,3")
    assert (c.r, c.g, c.b, c.a) == (1, 2, 3, 255)
