// Frame lists and paths on arbitrary text: the frame list stays within its bounds, the
// path's nodes come out in time order and every evaluation stays on the path's values.
#include <cmath>
#include <cstdint>
#include <string>

#include "scene/Actor.h"
#include "scene/Cyclers.h"
#include "scene/FrameList.h"
#include "scene/PathModifier.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (pf::SetLogToStderr(false), true);
    (void)quiet;
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::vector<int> frames;
    ParseFrameList(text, frames);
    if (frames.size() > kFrameListMaxEntries) __builtin_trap();
    my_intrusive_ptr<Cycler2> cycler(new Cycler2);
    cycler->SetFrames(text.c_str());

    my_intrusive_ptr<Actor> actor(new Actor);
    my_intrusive_ptr<PathModifier> path(new PathModifier);
    path->Init(pf::ToWString(text));
    const auto& nodes = path->GetNodes();
    for (size_t i = 1; i < nodes.size(); ++i)
        if (nodes[i - 1].time > nodes[i].time) __builtin_trap();
    actor->AddModifier(path.get(), nullptr);
    const float shifts[] = {-1.0f, 0.0f, 0.25f, 0.5f, 0.999f, 1.0f, 2.0f, NAN};
    for (float s : shifts) {
        PathSample sample;
        if (path->Evaluate(path->GetStartTime() + (path->GetEndTime() - path->GetStartTime()) * s, sample) !=
            !nodes.empty())
            __builtin_trap();
        path->Action(s, s);
        if (actor->GetAlpha() < 0 || actor->GetAlpha() > 255) __builtin_trap();
    }
    return 0;
}
