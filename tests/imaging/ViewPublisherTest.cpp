// The hand-over of view pictures between two threads: only whole pictures with their own geometry, newest
// first, none twice.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "imaging/ViewPublisher.h"

TEST(ViewPublisher, TakesOnlyNewPicturesWithTheirGeometry)
{
    ViewPublisher pub;
    EXPECT_FALSE(pub.take());
    EXPECT_EQ(pub.lastPublished(), ViewPublisher::Clock::time_point {});
    pub.back().image = QImage(4, 4, QImage::Format_RGB32);
    pub.back().image.fill(0xFF090909u);
    pub.back().geometry.view = { 1, 2, 5, 6 };
    pub.back().geometry.zoomIndex = 3;
    pub.publish();
    EXPECT_NE(pub.lastPublished(), ViewPublisher::Clock::time_point {});
    ASSERT_TRUE(pub.take());
    EXPECT_EQ(pub.front().image.pixel(0, 0), 0xFF090909u);
    EXPECT_EQ(pub.front().geometry.view, (Rect { 1, 2, 5, 6 }));
    EXPECT_EQ(pub.front().geometry.zoomIndex, 3);
    EXPECT_FALSE(pub.take()); // nothing new: the same picture stays in front
    EXPECT_EQ(pub.front().image.width(), 4);
}

// The display side writes a picture's sequence number into its first pixel, the number's low byte into all
// others and the number into the geometry; the UI side must never see a mixed picture or a picture with
// another's geometry, and the numbers it sees must grow.
TEST(ViewPublisher, NoTornPicturesAcrossThreads)
{
    constexpr int kPictures = 5000;
    ViewPublisher pub;
    std::atomic<bool> done { false };
    std::thread producer([&] {
        for (int seq = 1; seq <= kPictures; ++seq) {
            ViewPicture& picture = pub.back();
            if (picture.image.isNull())
                picture.image = QImage(64, 64, QImage::Format_RGB32);
            std::memset(picture.image.bits(), seq & 0xFF, size_t(picture.image.sizeInBytes()));
            std::memcpy(picture.image.bits(), &seq, sizeof seq);
            picture.geometry.baiX = -seq;
            pub.publish();
        }
        done = true;
    });
    int torn = 0, backwards = 0, seen = 0, last = 0, mismatched = 0;
    for (;;) {
        const bool finished = done.load();
        if (pub.take()) {
            const ViewPicture& picture = pub.front();
            const uchar* bits = picture.image.constBits();
            int seq = 0;
            std::memcpy(&seq, bits, sizeof seq);
            for (qsizetype i = sizeof seq; i < picture.image.sizeInBytes(); ++i)
                torn += bits[i] != (seq & 0xFF);
            mismatched += picture.geometry.baiX != -seq;
            backwards += seq <= last;
            last = seq;
            ++seen;
        } else if (finished) {
            break;
        }
    }
    producer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(mismatched, 0);
    EXPECT_EQ(backwards, 0);
    EXPECT_GT(seen, 0);
    EXPECT_EQ(last, kPictures); // the very last picture is always delivered
}
