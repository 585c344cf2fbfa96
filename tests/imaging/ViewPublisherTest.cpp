// The hand-over of view pictures between two threads: only whole pictures, newest first, none twice.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "imaging/ViewPublisher.h"

TEST(ViewPublisher, TakesOnlyNewPictures)
{
    ViewPublisher pub;
    EXPECT_FALSE(pub.take());
    ASSERT_TRUE(pub.back().Create(4, 4, 8));
    pub.back().Fill(nullptr, Rgb(9, 9, 9));
    pub.publish({1, 2, 5, 6});
    ASSERT_TRUE(pub.take());
    EXPECT_EQ(pub.front().rowTopDown(0)[0], 9);
    EXPECT_EQ(pub.frontRect(), (Rect{1, 2, 5, 6}));
    EXPECT_FALSE(pub.take());  // nothing new: the same picture stays in front
    EXPECT_EQ(pub.front().width(), 4);
}

// The display side writes a picture's sequence number into its first four bytes and the number's low
// byte into all others; the UI side must never see a mixed picture, and the numbers it sees must grow.
TEST(ViewPublisher, NoTornPicturesAcrossThreads)
{
    constexpr int kPictures = 5000;
    ViewPublisher pub;
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (int seq = 1; seq <= kPictures; ++seq) {
            DibImage& img = pub.back();
            if (img.isEmpty())
                img.Create(256, 64, 8);
            std::memset(img.bits(), seq & 0xFF, size_t(img.byteSize()));
            std::memcpy(img.bits(), &seq, sizeof seq);
            pub.publish({0, 0, 256, 64});
        }
        done = true;
    });
    int torn = 0, backwards = 0, seen = 0, last = 0;
    for (;;) {
        const bool finished = done.load();
        if (pub.take()) {
            const DibImage& img = pub.front();
            int seq = 0;
            std::memcpy(&seq, img.bits(), sizeof seq);
            for (int64_t i = sizeof seq; i < img.byteSize(); ++i)
                torn += img.bits()[i] != (seq & 0xFF);
            backwards += seq <= last;
            last = seq;
            ++seen;
        } else if (finished) {
            break;
        }
    }
    producer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(backwards, 0);
    EXPECT_GT(seen, 0);
    EXPECT_EQ(last, kPictures);  // the very last picture is always delivered
}
