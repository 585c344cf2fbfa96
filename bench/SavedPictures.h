// A save folder of 500 camera frames (2048 x 1536, half BMP, half JPEG) with its ThumbNail file, generated
// once per benchmark program in a temporary folder.
#pragma once

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "files/JpegEncoder.h"
#include "files/ThumbnailStore.h"
#include "imaging/DibImage.h"

namespace bench {

inline constexpr int kPictures = 500;
inline constexpr int kWidth = 2048;
inline constexpr int kHeight = 1536;

struct SaveFolder {
    QTemporaryDir dir;
    QString thumbnailFile;

    SaveFolder()
    {
        // One photograph-like frame; each picture shifts and tints it, so no two files are alike.
        DibImage base, frame;
        base.Create(kWidth, kHeight, 24);
        frame.Create(kWidth, kHeight, 24);
        for (int y = 0; y < kHeight; ++y) {
            uint8_t* row = base.rowTopDown(y);
            for (int x = 0; x < kWidth; ++x) {
                const double shade = 100 + 50 * std::sin(x * 0.0031) * std::cos(y * 0.0043);
                const double texture = 8 * std::sin(x * 0.21 + y * 0.05) * std::sin(y * 0.17 - x * 0.02);
                row[3 * x] = uint8_t(std::clamp(int(shade - texture - 20), 0, 255));
                row[3 * x + 1] = uint8_t(std::clamp(int(shade + texture), 0, 255));
                row[3 * x + 2] = uint8_t(std::clamp(int(shade + texture + 25), 0, 255));
            }
        }
        for (int i = 0; i < kPictures; ++i) {
            const int shift = (i * 37) % kWidth;
            for (int y = 0; y < kHeight; ++y) {
                const uint8_t* s = base.rowTopDown(y);
                uint8_t* d = frame.rowTopDown(y);
                for (int x = 0; x < kWidth; ++x)
                    for (int c = 0; c < 3; ++c)
                        d[3 * x + c] = uint8_t(s[3 * ((x + shift) % kWidth) + c] + (c == i % 3 ? i % 40 : 0));
            }
            const QString name = dir.filePath(QString::asprintf("%04d.%s", i, i % 2 ? "jpg" : "bmp"));
            if (!(i % 2 ? EncodeJpeg(frame, name) : frame.SaveBmp(name)))
                std::fprintf(stderr, "could not write %s\n", qPrintable(name));
        }
        thumbnailFile = ThumbnailStore::FileIn(dir.path());
        ThumbnailStore store;
        store.ScanFolder(dir.path());
        store.Save(thumbnailFile);
    }
};

inline SaveFolder& folder()
{
    static SaveFolder f;
    return f;
}

} // namespace bench
