// Gains and exposure "stored in the settings", distinct from every value the camera starts with, so a test
// sees whether OK kept them or replaced them with a read-back.
#pragma once

#include <gtest/gtest.h>

namespace storedgains {

constexpr const char* kSettingsLines
    = "GlovalGain=33\nColorGainG1=34\nColorGainR=35\nColorGainB=36\nColorGainG2=37\nShutter=3800\n";

template <typename Settings> void set(Settings& v)
{
    v.GlovalGain = 33, v.ColorGainG1 = 34, v.ColorGainR = 35, v.ColorGainB = 36, v.ColorGainG2 = 37;
    v.Shutter = 3800;
}

template <typename Settings> void expectKept(const Settings& v)
{
    EXPECT_EQ(v.GlovalGain, 33);
    EXPECT_EQ(v.ColorGainG1, 34);
    EXPECT_EQ(v.ColorGainR, 35);
    EXPECT_EQ(v.ColorGainB, 36);
    EXPECT_EQ(v.ColorGainG2, 37);
    EXPECT_EQ(v.Shutter, 3800);
}

} // namespace storedgains
