// Remove and Trash box on the store's entries, opening a picture into the one on screen, and the strip and
// browser drawn into a bitmap.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <vector>

#include "files/FileTexts.h"
#include "files/OpenPicture.h"
#include "files/StillSave.h"
#include "files/ThumbnailCommands.h"
#include "files/ThumbnailPainter.h"
#include "files/ThumbnailStore.h"
#include "imaging/Dc.h"
#include "imaging/DibImage.h"

namespace {

class ThumbnailFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(picture.Create(70, 50, 24));
        for (int i = 0; i < 4; ++i) {
            picture.Fill(nullptr, Rgb(uint8_t(40 * i + 10), 100, 200));
            paths.push_back(dir.filePath(QString("p%1.bmp").arg(i)));
            ASSERT_EQ(SavePicture(paths.back(), picture, kSaveBmp), 1);
            ASSERT_EQ(store.AddScaled(paths.back(), picture), 1);
        }
    }
    std::vector<QString> entries() const
    {
        std::vector<QString> out;
        for (const ThumbnailEntry* e = store.first(); e; e = e->next)
            out.push_back(e->path);
        return out;
    }

    QTemporaryDir dir;
    DibImage picture;
    ThumbnailStore store;
    std::vector<QString> paths;
};

} // namespace

TEST_F(ThumbnailFolder, RemoveAsksThenDeletesTheFileAndShiftsTheEntries)
{
    ThumbnailCommands commands(store);
    QStringList asked;
    bool yes = false;
    const Confirmer confirm = [&](const QString& question) {
        asked << question;
        return yes;
    };
    // The question names the file and points to the trash, in either language; No, or no one to answer,
    // deletes nothing.
    for (const bool japanese : { false, true }) {
        EXPECT_EQ(commands.Remove(1, confirm, japanese), 0);
        ASSERT_EQ(asked.size(), japanese ? 2 : 1);
        EXPECT_TRUE(asked.back().contains("p1.bmp"));
        EXPECT_TRUE(asked.back().contains(FileTexts::ThumbnailMenu(japanese)[2].text)) << qPrintable(asked.back());
    }
    EXPECT_EQ(commands.Remove(1, {}, false), 0);
    EXPECT_TRUE(QFile::exists(paths[1]));
    EXPECT_EQ(store.count(), 4);

    yes = true;
    EXPECT_EQ(commands.PathAt(1), paths[1]);
    EXPECT_EQ(commands.Remove(1, confirm, false), 1);
    EXPECT_FALSE(QFile::exists(paths[1]));
    EXPECT_EQ(entries(), (std::vector<QString> { paths[0], paths[2], paths[3] }));
    EXPECT_EQ(commands.PathAt(1), paths[2]);

    // No entry at the index: nothing happens to any file or entry, whatever the cursor holds.
    store.SeekTo(0);
    asked.clear();
    EXPECT_EQ(commands.Remove(3, confirm, false), 0);
    EXPECT_EQ(commands.Remove(-1, confirm, false), 0);
    EXPECT_TRUE(asked.isEmpty()); // nothing to ask about
    EXPECT_EQ(store.count(), 3);
    EXPECT_TRUE(QFile::exists(paths[0]));

    // A file already gone by other means only loses its entry.
    ASSERT_TRUE(QFile::remove(paths[3]));
    EXPECT_EQ(commands.Remove(2, confirm, false), 1);
    EXPECT_EQ(entries(), (std::vector<QString> { paths[0], paths[2] }));
}

TEST_F(ThumbnailFolder, TrashThatFailsKeepsFileAndEntry)
{
    std::vector<QString> asked;
    bool succeed = false;
    ThumbnailCommands commands(store, [&](const QString& path) {
        asked.push_back(path);
        return succeed && QFile::rename(path, path + ".trashed");
    });
    EXPECT_EQ(commands.Trash(2), 0);
    EXPECT_EQ(asked, std::vector<QString> { paths[2] });
    EXPECT_TRUE(QFile::exists(paths[2]));
    EXPECT_EQ(store.count(), 4);

    succeed = true;
    EXPECT_EQ(commands.Trash(2), 1);
    EXPECT_FALSE(QFile::exists(paths[2]));
    EXPECT_TRUE(QFile::exists(paths[2] + ".trashed"));
    EXPECT_EQ(entries(), (std::vector<QString> { paths[0], paths[1], paths[3] }));
    EXPECT_EQ(commands.Trash(7), 0);
    EXPECT_EQ(asked.size(), 2u);
}

TEST_F(ThumbnailFolder, OpenPictureReplacesOnlyOnSuccess)
{
    DibImage shown;
    ASSERT_TRUE(shown.Create(30, 20, 8));
    shown.Fill(nullptr, Rgb(77, 77, 77));
    const QByteArray before(reinterpret_cast<const char*>(shown.bits()), qsizetype(shown.byteSize()));

    // Undecodable, missing, or a format no saved picture has: the picture on screen stays as it was.
    const QString broken = dir.filePath("broken.jpg");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xFF\xD8\xFF\xE0 not really a JPEG");
    f.close();
    QImage(8, 8, QImage::Format_RGB32).save(dir.filePath("x.ppm"));
    for (const QString& path : { broken, dir.filePath("missing.bmp"), dir.filePath("x.ppm") }) {
        EXPECT_EQ(OpenPicture(path, shown), 0) << qPrintable(path);
        EXPECT_EQ(shown.width(), 30);
        EXPECT_EQ(shown.bitsPerPixel(), 8);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(shown.bits()), qsizetype(shown.byteSize())), before);
    }

    // A saved picture opens at its own size, as 24 bits.
    EXPECT_EQ(OpenPicture(paths[3], shown), 1);
    EXPECT_EQ(shown.width(), 70);
    EXPECT_EQ(shown.height(), 50);
    EXPECT_EQ(shown.bitsPerPixel(), 24);
    EXPECT_EQ(shown.rowTopDown(49)[3 * 69 + 2], 130); // red of the fourth picture
}

// The strip: thumbnails at their slots, a skin block in each gap, nothing inside the margins; labels drawn.
TEST_F(ThumbnailFolder, StripDrawsThumbnailsSkinAndLabels)
{
    DibImage target, skin;
    ASSERT_TRUE(target.Create(700, 160, 24));
    target.Fill(nullptr, Rgb(1, 2, 3));
    ASSERT_TRUE(skin.Create(200, 200, 24));
    skin.Fill(nullptr, Rgb(0, 255, 0));
    const ThumbnailGrid grid;
    const Rect strip { 0, 0, 600, 160 };
    {
        Dc dc(target);
        DrawThumbnailStrip(dc, grid, strip, 1, store, skin);
    }
    const auto pixel = [&](int x, int y) {
        const uint8_t* p = target.rowTopDown(y) + 3 * x;
        return Rgb(p[2], p[1], p[0]);
    };
    // Thumbnail 1 (red 50) at slot 0, thumbnail 3 (red 130) at slot 2; their lower middles hold no label.
    EXPECT_EQ(pixel(8 + 100, 14 + 60), Rgb(50, 100, 200));
    EXPECT_EQ(pixel(8 + 2 * 146 + 100, 14 + 60), Rgb(130, 100, 200));
    EXPECT_EQ(pixel(8 + 140 + 3, 14 + 60), Rgb(0, 255, 0)); // the gap
    EXPECT_EQ(pixel(8 + 3 * 146 + 10, 14 + 60), Rgb(0, 255, 0)); // after the last thumbnail
    EXPECT_EQ(pixel(4, 60), Rgb(1, 2, 3)); // left margin untouched
    EXPECT_EQ(pixel(595, 60), Rgb(1, 2, 3)); // right margin untouched
    // The number "2" sits on a white background at the first thumbnail's corner; the name below it.
    int black = 0, white = 0;
    for (int y = 14; y < 30; ++y)
        for (int x = 8; x < 20; ++x) {
            black += pixel(x, y) == Rgb(0, 0, 0);
            white += pixel(x, y) == Rgb(255, 255, 255);
        }
    EXPECT_GT(black, 3);
    EXPECT_GT(white, 3);
    black = 0;
    for (int y = 105; y < 119; ++y)
        for (int x = 8; x < 148; ++x)
            black += pixel(x, y) == Rgb(0, 0, 0);
    EXPECT_GT(black, 10);
    EXPECT_EQ(ThumbnailLabelFont().pointSize(), 11);

    // A strip of no width draws nothing.
    target.Fill(nullptr, Rgb(1, 2, 3));
    {
        Dc dc(target);
        DrawThumbnailStrip(dc, grid, { 0, 0, 0, 160 }, 0, store, skin);
    }
    EXPECT_EQ(pixel(8, 20), Rgb(1, 2, 3));
}

// The browser: sunken edges, thumbnails, skin in cells without one; nothing at all when no cell fits.
TEST_F(ThumbnailFolder, BrowserDrawsCellsAndTiles)
{
    DibImage target, skin;
    ASSERT_TRUE(target.Create(500, 300, 24));
    ASSERT_TRUE(skin.Create(200, 200, 24));
    skin.Fill(nullptr, Rgb(0, 255, 0));
    const ThumbnailGrid grid;
    const Size client { 500, 300 }; // 3 columns, 2 rows
    {
        Dc dc(target);
        TileBackground(dc, client, skin);
        DrawThumbnailBrowser(dc, grid, client, 0, store, skin);
    }
    const auto pixel = [&](int x, int y) {
        const uint8_t* p = target.rowTopDown(y) + 3 * x;
        return Rgb(p[2], p[1], p[0]);
    };
    EXPECT_EQ(pixel(499, 299), Rgb(0, 255, 0)); // tiled to the corner
    EXPECT_EQ(pixel(6 + 70, 10 + 40), Rgb(10, 100, 200)); // cell 0
    EXPECT_EQ(pixel(156 + 70, 125 + 40), Rgb(0, 255, 0)); // cell 4: no thumbnail, skin
    EXPECT_EQ(pixel(306 + 70, 10 + 40), Rgb(90, 100, 200)); // cell 2
    EXPECT_EQ(pixel(4, 50), Rgb(128, 128, 128)); // left edge: shadow
    EXPECT_EQ(pixel(147, 50), Rgb(255, 255, 255)); // right edge: highlight
    EXPECT_EQ(pixel(50, 8), Rgb(128, 128, 128)); // top edge
    EXPECT_EQ(pixel(50, 116), Rgb(255, 255, 255)); // bottom edge

    target.Fill(nullptr, Rgb(1, 2, 3));
    {
        Dc dc(target);
        DrawThumbnailBrowser(dc, grid, { 100, 100 }, 0, store, skin);
    }
    EXPECT_EQ(pixel(6, 10), Rgb(1, 2, 3));
}
