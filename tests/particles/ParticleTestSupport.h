// Shared helpers of the particle tests: definitions read from XML text, seeded randomness.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/TestSupport.h"
#include "content/XmlData.h"
#include "game/ParticleDefs.h"
#include "shell/Random.h"

namespace particletest {

// Reads the systems of an XML text into the registry.
inline bool ReadDefinitions(const std::string& xml) {
    XmlMutableData data;
    if (!data.ParseNarrow(xml, L"")) return false;
    return ReadParticleDefinitions(data);
}

class ParticleTest : public ::testing::Test {
protected:
    void SetUp() override { pf::SeedRand(1234); }
};

}  // namespace particletest
