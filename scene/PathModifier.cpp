#include "scene/PathModifier.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cwchar>

#include "scene/Actor.h"
#include "scene/Cyclers.h"
#include "shell/foundation/TextHelpers.h"

namespace {

constexpr float kUnset = -1000000.0f;

bool IsUnset(float v) { return std::fabs(v - kUnset) < 0.0001f; }

// The runtime's wide atoi, clamped to the int range instead of overflowing.
float ReadValue(const std::wstring& text) {
    const long long v = std::wcstoll(text.c_str(), nullptr, 10);
    return static_cast<float>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

pf::VectorT2 Position(const PathNode& n) { return pf::VectorT2(n.x, n.y); }

float Lerp(float a, float b, float u) { return a + (b - a) * u; }

}  // namespace

void PathModifier::Init(const std::wstring& path) {
    pathText_ = path;
    nodes_.clear();
    std::vector<std::wstring> tokens;
    pf::Tokenize(path, tokens, L" _()", false);
    PathNode work;
    work.scale = work.rotation = work.alpha = kUnset;
    for (size_t i = 0; i < tokens.size();) {
        const std::wstring& key = tokens[i];
        float* field = key == L"x"   ? &work.x
                       : key == L"y" ? &work.y
                       : key == L"s" ? &work.scale
                       : key == L"r" ? &work.rotation
                       : key == L"a" ? &work.alpha
                       : key == L"t" ? &work.time
                                     : nullptr;
        if (!field) {  // not a key: dropped alone
            ++i;
            continue;
        }
        if (i + 1 >= tokens.size()) break;  // a key without a value ends the path
        *field = ReadValue(tokens[i + 1]);
        i += 2;
        if (field == &work.time) {
            nodes_.push_back(work);
            work.scale = work.rotation = work.alpha = kUnset;
        }
    }
    std::stable_sort(nodes_.begin(), nodes_.end(),
                     [](const PathNode& a, const PathNode& b) { return a.time < b.time; });
    for (size_t i = 0; i < nodes_.size(); ++i) {
        PathNode& n = nodes_[i];
        const PathNode* prev = i > 0 ? &nodes_[i - 1] : nullptr;
        if (IsUnset(n.scale)) n.scale = prev ? prev->scale : 100.0f;
        if (IsUnset(n.rotation)) n.rotation = prev ? prev->rotation : 0.0f;
        if (IsUnset(n.alpha)) n.alpha = prev ? prev->alpha : 255.0f;
    }
    ComputeTangents();
}

void PathModifier::ComputeTangents() {
    const size_t n = nodes_.size();
    if (n < 2) return;
    nodes_[0].outTangent = Position(nodes_[1]) - Position(nodes_[0]);
    nodes_[n - 1].inTangent = Position(nodes_[n - 1]) - Position(nodes_[n - 2]);
    for (size_t i = 1; i + 1 < n; ++i) {
        PathNode& node = nodes_[i];
        const float t = node.tension, k = node.continuity, b = node.bias;
        const pf::VectorT2 a = (Position(node) - Position(nodes_[i - 1])) * (1.0f + b);
        const pf::VectorT2 d = (Position(nodes_[i + 1]) - Position(node)) * (1.0f - b);
        node.outTangent = (a + (d - a) * ((1.0f + k) / 2.0f)) * (1.0f - t);
        node.inTangent = (a + (d - a) * ((1.0f - k) / 2.0f)) * (1.0f - t);
    }
}

bool PathModifier::Evaluate(float t, PathSample& out) const {
    if (nodes_.empty()) return false;
    const float start = GetStartTime(), end = GetEndTime();
    // Held at the ends (a time that is not a number reads as the start).
    t = t >= start ? std::min(t, end) : start;
    // A single node is held where it stands.
    size_t i = 0;
    while (i + 2 < nodes_.size() && !(nodes_[i].time <= t && t <= nodes_[i + 1].time)) ++i;
    const PathNode& p0 = nodes_[i];
    const PathNode& p1 = nodes_.size() > 1 ? nodes_[i + 1] : p0;
    // A segment of zero length stands at its first node.
    const float span = p1.time - p0.time;
    const float u = span > 0.0f ? std::clamp((t - p0.time) / span, 0.0f, 1.0f) : 0.0f;
    const float u2 = u * u, u3 = u2 * u;
    const float h1 = 2 * u3 - 3 * u2 + 1, h2 = 3 * u2 - 2 * u3, h3 = u3 - 2 * u2 + u, h4 = u3 - u2;
    out.x = h1 * p0.x + h2 * p1.x + h3 * p0.outTangent.x + h4 * p1.inTangent.x;
    out.y = h1 * p0.y + h2 * p1.y + h3 * p0.outTangent.y + h4 * p1.inTangent.y;
    out.scale = Lerp(p0.scale, p1.scale, u);
    out.rotation = Lerp(p0.rotation, p1.rotation, u);
    out.alpha = Lerp(p0.alpha, p1.alpha, u);
    return true;
}

void PathModifier::Action(float /*value*/, float shifted) {
    Actor* client = ClientActor(*this);
    if (!client || nodes_.empty()) return;
    my_intrusive_ptr<Actor> hold = KeepAlive(client);
    const float start = GetStartTime(), end = GetEndTime();
    PathSample s;
    Evaluate(start + (end - start) * shifted, s);
    client->SetPositionF(pf::VectorT2(s.x, s.y));
    client->SetAlpha(pf::TruncateToInt(s.alpha));
    client->SetScale(s.scale / 100.0f);
    client->SetRotationDegrees(s.rotation);
}
