// Moves an actor along a timed path (a Kochanek-Bartels spline through the nodes) while
// scaling, rotating and fading it linearly between the nodes.
#pragma once

#include <string>
#include <vector>

#include "scene/Modifier.h"
#include "shell/foundation/VectorMath.h"

struct PathNode {
    float time = 0.0f;
    float x = 0.0f, y = 0.0f;
    float scale = 0.0f;     // percent
    float rotation = 0.0f;  // degrees
    float alpha = 0.0f;
    float tension = 0.001f;
    float continuity = 0.0f;
    float bias = 0.01f;
    pf::VectorT2 outTangent;
    pf::VectorT2 inTangent;
};

// The values of the path at one time.
struct PathSample {
    float x = 0.0f, y = 0.0f, scale = 100.0f, rotation = 0.0f, alpha = 255.0f;
};

class PathModifier : public Modifier {
public:
    PathModifier() { SetName(L"PathModifier"); }

    // Keyed integers split at " _()": x, y, s (percent), r (degrees), a, and t, which ends
    // a node. Replaces the nodes.
    void Init(const std::wstring& path);
    const std::wstring& GetPathText() const { return pathText_; }
    const std::vector<PathNode>& GetNodes() const { return nodes_; }
    float GetStartTime() const { return nodes_.empty() ? 0.0f : nodes_.front().time; }
    float GetEndTime() const { return nodes_.empty() ? 0.0f : nodes_.back().time; }
    // The path at time t (held at its ends); false without nodes.
    bool Evaluate(float t, PathSample& out) const;

    void Action(float value, float shifted) override;

private:
    void ComputeTangents();

    std::vector<PathNode> nodes_;
    std::wstring pathText_;
};
