// A resource list standing in for the widgets' shared sounds: it writes down the id of
// every sound asked for and plays nothing.
#pragma once

#include <string>
#include <vector>

#include "content/Resources.h"

namespace testkit {

class SoundRequests : public Resources {
public:
    SoundRequests() : Resources(ResourceServices{}) {}
    std::vector<std::wstring> ids;
    Res* getSound(const std::wstring& id) override {
        ids.push_back(id);
        return nullptr;
    }
};

}  // namespace testkit
