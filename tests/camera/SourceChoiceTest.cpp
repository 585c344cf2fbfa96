// Which camera the viewer opens: the command line over the settings over the devices present.
#include <gtest/gtest.h>

#include "camera/SourceChoice.h"

namespace {

const SourceChoice kOwn {};
SourceChoice video(const char* path)
{
    return { SourceChoice::Kind::Video, path };
}

} // namespace

TEST(SourceChoice, CommandLineThenSettingsThenFirstDeviceThenOwnCamera)
{
    const std::vector<VideoDeviceInfo> two { { "/dev/video2", "Microscope" }, { "/dev/video0", "Webcam" } };
    const std::vector<VideoDeviceInfo> none;

    // Automatic: the first device listed, else the own camera.
    EXPECT_EQ(ChooseCameraSource("", "", two), video("/dev/video2"));
    EXPECT_EQ(ChooseCameraSource("", "", none), kOwn);
    EXPECT_EQ(ChooseCameraSource("auto", " ", two), video("/dev/video2"));

    // The settings' choice, trimmed, "own" in any case; a path even when the list lacks it.
    EXPECT_EQ(ChooseCameraSource("", "own", two), kOwn);
    EXPECT_EQ(ChooseCameraSource("", " OWN ", two), kOwn);
    EXPECT_EQ(ChooseCameraSource("", "/dev/video0", two), video("/dev/video0"));
    EXPECT_EQ(ChooseCameraSource("", "/dev/video7", none), video("/dev/video7"));

    // The command line wins over the settings either way.
    EXPECT_EQ(ChooseCameraSource("own", "/dev/video0", two), kOwn);
    EXPECT_EQ(ChooseCameraSource("/dev/video0", "own", none), video("/dev/video0"));

    // Anything else (a typo, a bare "/dev/") leaves the choice to what follows.
    EXPECT_EQ(ChooseCameraSource("video0", "own", two), kOwn);
    EXPECT_EQ(ChooseCameraSource("/dev/", "", two), video("/dev/video2"));
    EXPECT_EQ(ChooseCameraSource("", "", { { "", "nameless" }, { "/dev/video4", "" } }), video("/dev/video4"));
}
