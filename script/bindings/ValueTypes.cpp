// Script classes of the engine's small value types: Point, Color, Rect, the float vectors
// and the matrix, the text parsers ToPoint and ToColor, and Surface.
#include <boost/python.hpp>

#include <cstdint>
#include <limits>
#include <string>

#include "script/bindings/Bindings.h"
#include "script/bindings/Holders.h"
#include "shell/pixels/PixelView.h"
#include "shell/pixels/Surface.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/foundation/VectorMath.h"

namespace bp = boost::python;

namespace ruv3module {

namespace {

bp::object NotImplemented() { return bp::object(bp::handle<>(bp::borrowed(Py_NotImplemented))); }

// A script number as int: floats truncate toward zero (saturating), other values go
// through the int conversion (an OverflowError beyond the int range).
int AsInt(const bp::object& value) {
    if (PyFloat_Check(value.ptr())) return pf::TruncateToInt(PyFloat_AsDouble(value.ptr()));
    return bp::extract<int>(value);
}

// Integer results that leave the int range raise instead of wrapping.
int Checked(int64_t v) {
    if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
        RaiseScriptError(PyExc_OverflowError, "Point coordinate out of range");
    return static_cast<int>(v);
}

pf::Point Sum(const pf::Point& a, const pf::Point& b) {
    return pf::Point(Checked(int64_t(a.x) + b.x), Checked(int64_t(a.y) + b.y));
}
pf::Point Difference(const pf::Point& a, const pf::Point& b) {
    return pf::Point(Checked(int64_t(a.x) - b.x), Checked(int64_t(a.y) - b.y));
}
pf::Point Product(const pf::Point& a, const pf::Point& b) {
    return pf::Point(Checked(int64_t(a.x) * b.x), Checked(int64_t(a.y) * b.y));
}
// Truncating toward zero, like the engine; a zero divisor raises ZeroDivisionError.
pf::Point Quotient(const pf::Point& a, const pf::Point& b) {
    if (b.x == 0 || b.y == 0) RaiseScriptError(PyExc_ZeroDivisionError, "Point division by zero");
    return pf::Point(Checked(int64_t(a.x) / b.x), Checked(int64_t(a.y) / b.y));
}

// The right operand of a Point operator: a Point or a tuple.
bool PointOperand(const bp::object& o, pf::Point& out) {
    bp::extract<const pf::Point&> p(o);
    if (p.check()) {
        out = p();
        return true;
    }
    if (PyTuple_Check(o.ptr())) {
        out = PointFromTuple(o, false);
        return true;
    }
    return false;
}

bool IntOperand(const bp::object& o, pf::Point& out) {
    if (!PyLong_Check(o.ptr())) return false;
    const int k = bp::extract<int>(o);
    out = pf::Point(k, k);
    return true;
}

bool TupleOperand(const bp::object& o, pf::Point& out) {
    if (!PyTuple_Check(o.ptr())) return false;
    out = PointFromTuple(o, false);
    return true;
}

// Binary operators answer NotImplemented for operands they do not take, so Python
// raises its usual TypeError.
template <pf::Point (*Op)(const pf::Point&, const pf::Point&), bool (*Take)(const bp::object&, pf::Point&),
          bool Reflected = false>
bp::object Binary(const pf::Point& self, const bp::object& other) {
    pf::Point o;
    if (!Take(other, o)) return NotImplemented();
    return bp::object(Reflected ? Op(o, self) : Op(self, o));
}

template <pf::Point (*Op)(const pf::Point&, const pf::Point&), bool (*Take)(const bp::object&, pf::Point&)>
bp::object InPlace(bp::back_reference<pf::Point&> self, const bp::object& other) {
    pf::Point o;
    if (!Take(other, o)) return NotImplemented();
    self.get() = Op(self.get(), o);
    return self.source();
}

bool PointOrTuple(const bp::object& o, pf::Point& out) { return PointOperand(o, out); }
bool IntPointOrTuple(const bp::object& o, pf::Point& out) { return IntOperand(o, out) || PointOperand(o, out); }
bool IntOrTuple(const bp::object& o, pf::Point& out) { return IntOperand(o, out) || TupleOperand(o, out); }

bp::object PointEquals(const pf::Point& self, const bp::object& other) {
    pf::Point o;
    if (!PointOperand(other, o)) return NotImplemented();
    return bp::object(self == o);
}
bp::object PointDiffers(const pf::Point& self, const bp::object& other) {
    pf::Point o;
    if (!PointOperand(other, o)) return NotImplemented();
    return bp::object(self != o);
}

int PointGet(const pf::Point& p, int i) { return i == 0 ? p.x : i == 1 ? p.y : 0; }
void PointSet(pf::Point& p, int i, int v) {
    if (i == 0) p.x = v;
    if (i == 1) p.y = v;
}

std::string PointStr(const pf::Point& p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
std::string PointRepr(const pf::Point& p) {
    return "ruv3.Point(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")";
}

pf::Point* PointFromFloats(double x, double y) {
    return new pf::Point(pf::TruncateToInt(x), pf::TruncateToInt(y));
}
pf::Point* PointFromTupleArg(const bp::tuple& t) { return new pf::Point(PointFromTuple(t, false)); }

bp::object SetPoint(bp::back_reference<pf::Point&> self, int x, int y) {
    self.get().Set(x, y);
    return self.source();
}
bp::object MovePoint(bp::back_reference<pf::Point&> self, int dx, int dy) {
    self.get() = Sum(self.get(), pf::Point(dx, dy));
    return self.source();
}
bp::object AddPoint(bp::back_reference<pf::Point&> self, const pf::Point& p) {
    self.get() = Sum(self.get(), p);
    return self.source();
}

bp::object IteratePoint(const pf::Point& p) { return bp::object(bp::make_tuple(p.x, p.y)).attr("__iter__")(); }

// ---- Color ------------------------------------------------------------------------------

pf::Color* ColorFromTuple(const bp::tuple& t) {
    const int r = AsInt(t[0]), g = AsInt(t[1]), b = AsInt(t[2]);
    const int a = bp::len(t) == 4 ? AsInt(t[3]) : 255;
    return new pf::Color(r & 0xFF, g & 0xFF, b & 0xFF, a & 0xFF);
}

std::string ColorStr(const pf::Color& c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + "," +
           std::to_string(c.a);
}
std::string ColorRepr(const pf::Color& c) {
    return "ruv3.Color(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) +
           ", " + std::to_string(c.a) + ")";
}

// ---- Rect -------------------------------------------------------------------------------

std::string RectRepr(const pf::Rect& r) {
    return "ruv3.Rect(x = " + std::to_string(r.x) + ", y = " + std::to_string(r.y) +
           ", width = " + std::to_string(r.width) + ", height = " + std::to_string(r.height) + ")";
}

// ---- Vectors and matrix -----------------------------------------------------------------

template <class V>
bp::object VecIAdd(bp::back_reference<V&> self, const V& o) {
    self.get() += o;
    return self.source();
}
template <class V>
bp::object VecISub(bp::back_reference<V&> self, const V& o) {
    self.get() -= o;
    return self.source();
}
template <class V>
bp::object VecIMul(bp::back_reference<V&> self, float k) {
    self.get() *= k;
    return self.source();
}
template <class V>
bp::object VecIDiv(bp::back_reference<V&> self, float k) {
    self.get() /= k;
    return self.source();
}

template <class V>
void AddVectorOperators(bp::class_<V>& c) {
    c.def("__add__", +[](const V& a, const V& b) { return a + b; })
        .def("__sub__", +[](const V& a, const V& b) { return a - b; })
        .def("__mul__", +[](const V& a, float k) { return a * k; })
        .def("__truediv__", +[](const V& a, float k) { return a / k; })
        .def("__iadd__", &VecIAdd<V>)
        .def("__isub__", &VecISub<V>)
        .def("__imul__", &VecIMul<V>)
        .def("__itruediv__", &VecIDiv<V>);
}

// Matrix operations that change the matrix and answer the same script object.
template <class... A>
using MatrixOp = pf::MatrixT& (pf::MatrixT::*)(A...);

template <class... A>
struct InPlaceMatrix {
    template <MatrixOp<A...> Op>
    static bp::object Call(bp::back_reference<pf::MatrixT&> self, A... args) {
        (self.get().*Op)(args...);
        return self.source();
    }
};

pf::Color PixelColor(pf::Surface& s, int x, int y) {
    if (x < 0 || y < 0 || x >= s.GetWidth() || y >= s.GetHeight()) return pf::Color(0, 0, 0, 0);
    const pf::Rect one(x, y, 1, 1);
    pf::PixelView view = pf::LockView(&s, &one, true, false);
    const pf::Color c = view.data ? pf::ReadPixelColor(view.data, view.format) : pf::Color(0, 0, 0, 0);
    s.Unlock();
    return c;
}

}  // namespace

void RaiseScriptError(PyObject* type, const char* message) {
    PyErr_SetString(type, message);
    bp::throw_error_already_set();
    throw;  // not reached: the call above throws
}

pf::Point PointFromTuple(const bp::object& value, bool allowPoint) {
    if (PyTuple_Check(value.ptr())) {
        if (PyTuple_GET_SIZE(value.ptr()) < 2) RaiseScriptError(PyExc_IndexError, "a point needs two items");
        return pf::Point(AsInt(value[0]), AsInt(value[1]));
    }
    if (allowPoint) return bp::extract<pf::Point>(value);
    RaiseScriptError(PyExc_TypeError, "a point must be given as a tuple");
}

void RegisterPoint() {
    using P = pf::Point;
    // Overloads are tried last-registered first: two ints keep their exact value before
    // the float form truncates.
    bp::class_<P>("Point", bp::init<const P&>())
        .def("__init__", bp::make_constructor(&PointFromTupleArg))
        .def("__init__", bp::make_constructor(&PointFromFloats))
        .def(bp::init<int, int>())
        .def_readwrite("x", &P::x)
        .def_readwrite("y", &P::y)
        .def("Set", &SetPoint)
        .def("Move", &MovePoint)
        .def("Add", &AddPoint)
        .def("__add__", &Binary<&Sum, &PointOrTuple>)
        .def("__radd__", &Binary<&Sum, &TupleOperand, true>)
        .def("__sub__", &Binary<&Difference, &PointOrTuple>)
        .def("__rsub__", &Binary<&Difference, &TupleOperand, true>)
        .def("__mul__", &Binary<&Product, &IntPointOrTuple>)
        .def("__rmul__", &Binary<&Product, &TupleOperand, true>)
        .def("__truediv__", &Binary<&Quotient, &IntPointOrTuple>)
        .def("__floordiv__", &Binary<&Quotient, &IntPointOrTuple>)
        .def("__rtruediv__", &Binary<&Quotient, &TupleOperand, true>)
        .def("__rfloordiv__", &Binary<&Quotient, &TupleOperand, true>)
        .def("__neg__", +[](const P& p) { return Difference(P(0, 0), p); })
        .def("__iadd__", &InPlace<&Sum, &PointOrTuple>)
        .def("__isub__", &InPlace<&Difference, &PointOrTuple>)
        .def("__imul__", &InPlace<&Product, &IntOrTuple>)
        // Python 3 calls __itruediv__ for /=; the class does not map it by itself.
        .def("__itruediv__", &InPlace<&Quotient, &IntOrTuple>)
        .def("__ifloordiv__", &InPlace<&Quotient, &IntOrTuple>)
        .def("__eq__", &PointEquals)
        .def("__ne__", &PointDiffers)
        .def("__len__", +[](const P&) { return 2; })
        .def("__getitem__", &PointGet)
        .def("__setitem__", &PointSet)
        .def("__iter__", &IteratePoint)
        .def("__str__", &PointStr)
        .def("__repr__", &PointRepr);
}

void RegisterColor() {
    using C = pf::Color;
    bp::class_<C>("Color", bp::init<>())
        .def("__init__", bp::make_constructor(&ColorFromTuple))
        .def(bp::init<uint8_t, uint8_t, uint8_t>())
        .def(bp::init<uint8_t, uint8_t, uint8_t, uint8_t>())
        .add_property("r", &C::GetR, &C::SetR)
        .add_property("g", &C::GetG, &C::SetG)
        .add_property("b", &C::GetB, &C::SetB)
        .add_property("a", &C::GetA, &C::SetA)
        .def("__eq__", +[](const C& a, const C& b) { return a == b; })
        .def("__ne__", +[](const C& a, const C& b) { return a != b; })
        .def("__str__", &ColorStr)
        .def("__repr__", &ColorRepr);
}

void RegisterRect() {
    using R = pf::Rect;
    bp::class_<R>("Rect", bp::init<int, int, int, int>())
        .def(bp::init<const R&>())
        .def_readwrite("x", &R::x)
        .def_readwrite("y", &R::y)
        .def_readwrite("width", &R::width)
        .def_readwrite("height", &R::height)
        .add_property("pos", &R::GetPosition, +[](R& r, const pf::Point& p) { r.SetPosition(p); })
        .add_property("size", &R::GetSize, &R::SetSize)
        .add_property("empty", &R::IsEmpty)
        .def("GetLeft", &R::GetLeft)
        .def("GetRight", &R::GetRight)
        .def("GetTop", &R::GetTop)
        .def("GetBottom", &R::GetBottom)
        .def("GetWidth", &R::GetWidth)
        .def("GetHeight", &R::GetHeight)
        .def("GetSize", &R::GetSize)
        .def("GetPosition", &R::GetPosition)
        .def("GetTopLeft", &R::GetTopLeft)
        .def("GetTopRight", &R::GetTopRight)
        .def("GetBottomLeft", &R::GetBottomLeft)
        .def("GetBottomRight", &R::GetBottomRight)
        .def("Clip", &R::Clip)
        .def("Copy", &R::Copy)
        .def("Intersect", &R::Intersect)
        .def("Intersects", &R::Intersects)
        .def("Intersection", &R::Intersection)
        .def("IsEmpty", &R::IsEmpty)
        .def("MoveRelative", &R::MoveRelative)
        .def("PointIn", &R::PointIn)
        .def("Resize", &R::Resize)
        .def("Set", &R::Set)
        .def("SetWidth", &R::SetWidth)
        .def("SetHeight", &R::SetHeight)
        .def("SetX", &R::SetX)
        .def("SetY", &R::SetY)
        .def("Union", &R::Union)
        .def("__eq__", +[](const R& a, const R& b) { return a == b; })
        .def("__ne__", +[](const R& a, const R& b) { return a != b; })
        .def("__repr__", &RectRepr);
}

void RegisterVectorsAndMatrix() {
    using V3 = pf::VectorT3;
    using V2 = pf::VectorT2;
    using M = pf::MatrixT;
    bp::class_<V3> v3("Vector3", bp::init<float, float, float>());
    v3.def_readwrite("x", &V3::x)
        .def_readwrite("y", &V3::y)
        .def_readwrite("z", &V3::z)
        .def("Normalize", +[](V3& v) { v.Normalize(); })
        .def("Clamp", +[](V3& v, const V3& lo, const V3& hi) { v.Clamp(lo, hi); })
        .def("Length", &V3::Length)
        .def("SqLength", &V3::SqLength)
        .def("Dot", +[](const V3& a, const V3& b) { return a.Dot(b); })
        .def("SetNull", &V3::SetNull)
        .def("__neg__", +[](const V3& v) { return -v; })
        .def("__eq__", +[](const V3& a, const V3& b) { return a == b; })
        .def("__ne__", +[](const V3& a, const V3& b) { return a != b; });
    AddVectorOperators(v3);

    bp::class_<V2> v2("Vector2", bp::init<float, float>());
    v2.def_readwrite("x", &V2::x)
        .def_readwrite("y", &V2::y)
        .def("normalize", +[](V2& v) { v.normalize(); })
        .def("length", &V2::length);
    AddVectorOperators(v2);

    // A new matrix starts as the identity.
    bp::class_<M>("Matrix", bp::no_init)
        .def("__init__", bp::make_constructor(+[]() { return new M(M::MakeIdentity()); }))
        .def("__mul__", +[](const M& a, const M& b) { return a * b; })
        .def("Identity", &InPlaceMatrix<>::Call<&M::Identity>)
        .def("Inverse", &InPlaceMatrix<>::Call<&M::Inverse>)
        .def("Transpose", &InPlaceMatrix<>::Call<&M::Transpose>)
        .def("Translation", &InPlaceMatrix<const V3&>::Call<&M::Translation>)
        .def("Scaling", &InPlaceMatrix<const V3&>::Call<&M::Scaling>)
        .def("BuildSRT", &InPlaceMatrix<const V3&, float, const V3&>::Call<&M::BuildSRT>)
        .def("RotationX", &InPlaceMatrix<float>::Call<&M::RotationX>)
        .def("RotationY", &InPlaceMatrix<float>::Call<&M::RotationY>)
        .def("RotationZ", &InPlaceMatrix<float>::Call<static_cast<MatrixOp<float>>(&M::RotationZ)>)
        .def("GetInverse", &M::GetInverse)
        .def("GetTranspose", &M::GetTranspose)
        .def("TransformVec3", &M::TransformVec3)
        .def("__eq__", +[](const M& a, const M& b) { return a == b; })
        .def("__ne__", +[](const M& a, const M& b) { return a != b; });
}

void RegisterToPoint() {
    bp::def("ToPoint", +[](const std::wstring& text) { return pf::ToPoint(text); });
}

void RegisterToColor() {
    bp::def("ToColor", +[](const std::wstring& text) { return pf::ToColor(text); });
}

void RegisterSurface() {
    // Script objects of surfaces hold a counted reference (surfaces the engine counts), so
    // a surface stays valid while a script keeps it.
    bp::class_<pf::Surface, my_intrusive_ptr<pf::Surface>, boost::noncopyable>("Surface", bp::no_init)
        .add_property("width", &pf::Surface::GetWidth)
        .add_property("height", &pf::Surface::GetHeight)
        .def("getPixelColor", &PixelColor);
}

}  // namespace ruv3module
