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

TEST(SourceChoice, FrameSizeFromTheSettings)
{
    int w = -1, h = -1;
    EXPECT_TRUE(ParseFrameSize("1280x720", &w, &h));
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    EXPECT_TRUE(ParseFrameSize(" 640 X 480 ", &w, &h));
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    for (const char* bad : { "", "auto", "1280", "x720", "1280x", "0x480", "640x0", "-640x480", "9000x480",
                             "640x480x3", "12345678901x2", "640.5x480", "\xef\xbc\x96\xef\xbc\x94\xef\xbc\x90x480" }) {
        w = h = -1;
        EXPECT_FALSE(ParseFrameSize(bad, &w, &h)) << bad;
        EXPECT_EQ(w, -1) << bad;
        EXPECT_EQ(h, -1);
    }
}
