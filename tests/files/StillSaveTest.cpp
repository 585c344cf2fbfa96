// The still save: the proposed name, where a dialog answer leads, the files written (read back by readers we
// did not write), and SAVE as a whole against the thumbnail store with the dialogs answered by the test.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <turbojpeg.h>

#include <vector>

#include "files/FileTexts.h"
#include "files/StillSave.h"
#include "files/ThumbnailStore.h"
#include "imaging/DibImage.h"
#include "platform/PrivateProfile.h"
#include "support/FileSizeLimit.h"

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A grey 8-bit picture whose value encodes the position, so any misplaced row or column shows.
void makeGrey(DibImage& img, int w, int h)
{
    ASSERT_TRUE(img.Create(w, h, 8));
    img.SetColorTable(0, nullptr, 0, 256);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.rowTopDown(y)[x] = uint8_t((x * 3 + y * 7) & 0xFF);
}

std::vector<QString> pathsOf(const ThumbnailStore& store)
{
    std::vector<QString> out;
    for (const ThumbnailEntry* e = store.first(); e; e = e->next)
        out.push_back(e->path);
    return out;
}

// The save dialog answered by the test: the path and filter it returns, and what it was asked with.
struct Answers {
    QString path;
    int filter = kSaveBmp;
    SaveFileRequest asked;
    QStringList told;

    SaveFileAsker asker()
    {
        return [this](const SaveFileRequest& r) {
            asked = r;
            return SaveFileAnswer { path, filter };
        };
    }
    MessageTeller teller()
    {
        return [this](const QString& text) { told << text; };
    }
};

} // namespace

TEST(StillSave, ProposedNameAndDialogRequest)
{
    const QDateTime when(QDate(2024, 3, 5), QTime(7, 8, 9));
    EXPECT_EQ(ProposedName(when), "20240305070809.bmp");
    EXPECT_EQ(ProposedName(QDateTime(QDate(2031, 12, 31), QTime(23, 59, 58))), "20311231235958.bmp");

    const SaveFileRequest en = MakeSaveRequest("/data/pictures", when, false);
    EXPECT_EQ(en.title, "Save as");
    EXPECT_EQ(en.filters,
        QStringList({ "Bitmap File(*.bmp)", "Jpeg File(*.jpg)", "PNG File(*.png)", "TIFF File(*.tif *.tiff)" }));
    EXPECT_EQ(en.filterIndex, 1);
    EXPECT_EQ(en.initialPath, "/data/pictures/20240305070809.bmp");
    EXPECT_EQ(en.defaultSuffix, "bmp");
    const SaveFileRequest ja = MakeSaveRequest("/", when, true);
    EXPECT_EQ(ja.title, QString::fromUtf8("保存先指定"));
    EXPECT_EQ(ja.filters.mid(0, 2),
        QStringList({ QString::fromUtf8("ビットマップファイル(*.bmp)"), QString::fromUtf8("JPEGファイル(*.jpg)") }));
    EXPECT_EQ(ja.filters.size(), 4);
    EXPECT_EQ(ja.initialPath, "/20240305070809.bmp");
}

TEST(StillSave, ResolveTarget_ExtensionAndFolder)
{
    // A typed extension we write decides the format whatever the filter, so the bytes match the name; any
    // other name keeps what was typed and gets the filter's extension.
    const struct {
        const char* chosen;
        int filter;
        const char* path;
        int format;
    } cases[] = {
        { "/d/x.bmp", kSaveJpeg, "/d/x.bmp", kSaveBmp },
        { "/d/x.jpg", kSaveBmp, "/d/x.jpg", kSaveJpeg },
        { "/d/x.JPEG", kSaveBmp, "/d/x.JPEG", kSaveJpeg },
        { "/d/name.txt", kSaveBmp, "/d/name.txt.bmp", kSaveBmp },
        { "/d/name.txt", kSaveJpeg, "/d/name.txt.jpg", kSaveJpeg },
        { "/d/noext", kSaveJpeg, "/d/noext.jpg", kSaveJpeg },
        { "/d/x.bmp.gif", kSaveJpeg, "/d/x.bmp.gif.jpg", kSaveJpeg }, // only the last extension counts
        { "/d.v1/x", kSaveJpeg, "/d.v1/x.jpg", kSaveJpeg }, // a folder's dots are no extension
        { "/x.bmp", kSaveJpeg, "/x.bmp", kSaveBmp },
        { "/d/sub/../y.bmp", kSaveBmp, "/d/y.bmp", kSaveBmp }, // unclean answers become clean paths
        { "/d/x.PNG", kSaveBmp, "/d/x.PNG", kSavePng },
        { "/d/x.tiff", kSaveJpeg, "/d/x.tiff", kSaveTiff },
        { "/d/x.tif", kSavePng, "/d/x.tif", kSaveTiff },
        { "/d/x", kSavePng, "/d/x.png", kSavePng },
        { "/d/x", kSaveTiff, "/d/x.tif", kSaveTiff },
        { "/d/x", 7, "/d/x.bmp", kSaveBmp }, // a filter we do not know writes BMP
    };
    for (const auto& c : cases) {
        const SaveTarget t = ResolveSaveTarget(c.chosen, c.filter);
        EXPECT_EQ(t.path, c.path) << c.chosen << " filter " << c.filter;
        EXPECT_EQ(t.format, c.format) << c.chosen << " filter " << c.filter;
        EXPECT_EQ(t.folder, QFileInfo(c.path).path()) << c.chosen;
    }
    EXPECT_EQ(ResolveSaveTarget("z.bmp", kSaveBmp).folder, QDir::cleanPath(QDir::currentPath()));
    EXPECT_TRUE(ResolveSaveTarget("", kSaveBmp).path.isEmpty());
}

// 640 x 480 grey: the BMP holds exactly the picture (Qt's reader), the JPEG decodes (libjpeg-turbo) at its
// size close to it. The drawer marks the copy, never the picture itself.
TEST(StillSave, SavePicture_BmpAndJpegReadBack)
{
    QTemporaryDir dir;
    DibImage grey;
    makeGrey(grey, 640, 480);

    const QString bmp = dir.filePath("g.bmp");
    ASSERT_EQ(SavePicture(bmp, grey, kSaveBmp), 1);
    EXPECT_EQ(QFileInfo(bmp).size(), 54 + 1920 * 480);
    const QImage back = QImageReader(bmp).read().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(back.size(), QSize(640, 480));
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint8_t* p = back.constScanLine(y) + 3 * x;
            const uint8_t v = grey.rowTopDown(y)[x];
            ASSERT_TRUE(p[0] == v && p[1] == v && p[2] == v) << x << "," << y;
        }

    const QString jpg = dir.filePath("g.jpg");
    ASSERT_EQ(SavePicture(jpg, grey, kSaveJpeg), 1);
    const QByteArray file = readFile(jpg);
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, space = 0;
    ASSERT_EQ(tjDecompressHeader3(
                  tj, reinterpret_cast<const unsigned char*>(file.constData()), file.size(), &w, &h, &sub, &space),
        0);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    ASSERT_EQ(tjDecompress2(tj, reinterpret_cast<const unsigned char*>(file.constData()), file.size(), rgb.data(), w,
                  w * 3, h, TJPF_RGB, 0),
        0);
    tjDestroy(tj);
    long error = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            error += std::abs(int(rgb[size_t(y * w + x) * 3 + 1]) - int(grey.rowTopDown(y)[x]));
    EXPECT_LT(double(error) / (w * h), 8.0); // a lossy copy of the same picture

    // The drawer draws on the 24-bit copy that is written; the picture keeps its pixels.
    const QByteArray before(reinterpret_cast<const char*>(grey.bits()), qsizetype(grey.byteSize()));
    int calls = 0;
    const OverlayDrawer drawer = [&](DibImage& copy) {
        ++calls;
        EXPECT_EQ(copy.bitsPerPixel(), 24);
        uint8_t* p = copy.rowTopDown(10) + 3 * 20;
        p[0] = 0, p[1] = 0, p[2] = 255; // one red pixel
    };
    const QString marked = dir.filePath("m.bmp");
    ASSERT_EQ(SavePicture(marked, grey, kSaveBmp, drawer), 1);
    EXPECT_EQ(calls, 1);
    const QImage m = QImageReader(marked).read();
    EXPECT_EQ(m.pixel(20, 10), qRgb(255, 0, 0));
    EXPECT_EQ(m.pixel(21, 10), back.pixel(21, 10));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(grey.bits()), qsizetype(grey.byteSize())), before);

    // Nothing is written for another format or an empty picture, and the result says so.
    EXPECT_EQ(SavePicture(dir.filePath("n.bmp"), grey, 5), 0);
    EXPECT_EQ(SavePicture(dir.filePath("n.bmp"), DibImage(), kSaveBmp), 0);
    EXPECT_FALSE(QFile::exists(dir.filePath("n.bmp")));
}

class StillSaveRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = QDir::cleanPath(dir.path());
        store.setSaveFolder(folder);
        ASSERT_TRUE(picture.Create(64, 48, 24));
        picture.Fill(nullptr, Rgb(10, 20, 30));
    }
    QString at(const QString& name) const { return folder + "/" + name; }
    StillSave::Result save(const QDateTime& when = QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)))
    {
        StillSave still(store, answers.asker(), answers.teller());
        return still.Run(picture, {}, false, when);
    }

    QTemporaryDir dir;
    QString folder;
    ThumbnailStore store;
    DibImage picture;
    Answers answers;
};

TEST_F(StillSaveRun, SavesAddsOneEntryPerNameAndCancelDoesNothing)
{
    answers.path.clear(); // cancelled
    EXPECT_EQ(save().outcome, StillSave::Outcome::Cancelled);
    EXPECT_EQ(answers.asked.initialPath, at("20240305070809.bmp"));
    EXPECT_EQ(store.count(), 0);

    answers.path = at("p.bmp");
    EXPECT_EQ(save().outcome, StillSave::Outcome::Saved);
    // The typed extension wins over the BMP filter: JPEG bytes under a JPEG name.
    answers.path = at("q.JPG");
    const StillSave::Result jpeg = save();
    EXPECT_EQ(jpeg.path, at("q.JPG"));
    EXPECT_TRUE(readFile(at("q.JPG")).startsWith("\xFF\xD8"));
    // Saving over p.bmp again replaces its entry in its place.
    answers.path = at("p.bmp");
    answers.filter = kSaveBmp;
    picture.Fill(nullptr, Rgb(200, 0, 0));
    EXPECT_EQ(save().outcome, StillSave::Outcome::Saved);
    EXPECT_EQ(pathsOf(store), (std::vector<QString> { at("p.bmp"), at("q.JPG") }));
    EXPECT_EQ(store.current()->path, at("p.bmp"));
    EXPECT_EQ(store.first()->image.rowTopDown(50)[3 * 70 + 2], 200); // the new thumbnail
    EXPECT_FALSE(save().folderChanged);
    EXPECT_TRUE(answers.told.isEmpty());
}

// An overwrite that fails (the file size limit stops it) keeps the old file, adds no entry, and is told.
TEST_F(StillSaveRun, FailedOverwriteKeepsOldBytesAndAddsNoEntry)
{
    const QString path = at("big.bmp");
    ASSERT_EQ(SavePicture(path, picture, kSaveBmp), 1);
    const QByteArray old = readFile(path);
    ASSERT_TRUE(picture.Create(640, 480, 24));
    answers.path = path;
    StillSave::Result result;
    {
        FileSizeLimit limit(100000);
        ASSERT_TRUE(limit.ok());
        result = save();
    }
    EXPECT_EQ(result.outcome, StillSave::Outcome::NotSaved);
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(answers.told, QStringList { FileTexts::NotSaved(false) });
}

// A save into another folder writes the old folder's ThumbNail file first, then shows the new folder's
// thumbnails (its ThumbNail file and its pictures) with the new picture.
TEST_F(StillSaveRun, SaveIntoAnotherFolderSwitchesTheStore)
{
    answers.path = at("old.bmp");
    ASSERT_EQ(save().outcome, StillSave::Outcome::Saved);
    ASSERT_FALSE(QFile::exists(at("ThumbNail")));

    QTemporaryDir other;
    const QString otherFolder = QDir::cleanPath(other.path());
    ASSERT_EQ(SavePicture(otherFolder + "/there.bmp", picture, kSaveBmp), 1);
    answers.path = otherFolder + "/new.bmp";
    const StillSave::Result result = save();
    EXPECT_EQ(result.outcome, StillSave::Outcome::Saved);
    EXPECT_TRUE(result.folderChanged);
    EXPECT_EQ(store.saveFolder(), otherFolder);
    EXPECT_EQ(pathsOf(store), (std::vector<QString> { otherFolder + "/there.bmp", otherFolder + "/new.bmp" }));
    ThumbnailStore old;
    EXPECT_EQ(old.Load(at("ThumbNail")), 1);
    EXPECT_EQ(pathsOf(old), std::vector<QString> { at("old.bmp") });

    // A folder whose name the settings could not give back whole is refused before anything changes.
    QString deep = otherFolder;
    while (deep.toUtf8().size() < 262)
        deep += "/abcdefghijklmnopqrstuvwxyz";
    ASSERT_TRUE(QDir().mkpath(deep));
    answers.path = deep + "/x.bmp";
    EXPECT_EQ(save().outcome, StillSave::Outcome::NotSaved);
    EXPECT_FALSE(QFile::exists(deep + "/x.bmp"));
    EXPECT_EQ(store.saveFolder(), otherFolder);
    EXPECT_EQ(answers.told, QStringList { FileTexts::NotSaved(false) });
}

// The folder left behind was removed meanwhile: its ThumbNail file cannot be written, which is told, and the
// save into the new folder goes ahead.
TEST_F(StillSaveRun, FolderLeftBehindThatCannotKeepItsThumbnailsIsTold)
{
    answers.path = at("old.bmp");
    ASSERT_EQ(save().outcome, StillSave::Outcome::Saved);
    ASSERT_TRUE(QDir(folder).removeRecursively());

    QTemporaryDir other;
    answers.path = QDir::cleanPath(other.path()) + "/new.bmp";
    const StillSave::Result result = save();
    EXPECT_EQ(result.outcome, StillSave::Outcome::Saved);
    EXPECT_TRUE(QFile::exists(answers.path));
    EXPECT_EQ(answers.told, QStringList { FileTexts::ThumbnailsNotSaved(false) });

    // From an empty store nothing is lost, so nothing is told.
    ThumbnailStore empty;
    empty.setSaveFolder(folder);
    EXPECT_TRUE(SaveFolder(empty).SwitchTo(QDir::cleanPath(other.path())));
}

// The settings file gives the save folder back through a 260-byte buffer: every folder the check accepts
// comes back whole, and the first length that would come back cut is refused.
TEST(SaveFolder, LongestAcceptedFolderSurvivesTheSettingsFile)
{
    QTemporaryDir dir;
    QString folder = QDir::cleanPath(dir.path());
    while (folder.toUtf8().size() < SaveFolder::kMaxBytes - 3)
        folder += QString::fromUtf8("/é");
    folder += QString(SaveFolder::kMaxBytes - int(folder.toUtf8().size()), QLatin1Char('d'));
    ASSERT_EQ(folder.toUtf8().size(), SaveFolder::kMaxBytes);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString longer = folder + "e";
    ASSERT_TRUE(QDir().mkpath(longer));

    EXPECT_TRUE(SaveFolder::Accepts(folder));
    EXPECT_EQ(SaveFolder::Examine(longer), SaveFolder::Check::TooLong);
    ProfileFile profile;
    ASSERT_TRUE(profile.setValue("NX-QB740LE", "savedir", folder.toStdString()));
    ASSERT_TRUE(profile.setValue("NX-QB740LE", "other", longer.toStdString()));
    EXPECT_EQ(QString::fromStdString(profile.stringValue("NX-QB740LE", "savedir", "", 260)), folder);
    EXPECT_NE(QString::fromStdString(profile.stringValue("NX-QB740LE", "other", "", 260)), longer);

    EXPECT_EQ(SaveFolder::Examine(dir.filePath("missing")), SaveFolder::Check::NotAFolder);
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    EXPECT_EQ(SaveFolder::Examine(plain.fileName()), SaveFolder::Check::NotAFolder);
    EXPECT_EQ(SaveFolder::Examine(""), SaveFolder::Check::NotAFolder);
}

// DIR: the old folder's ThumbNail file is written, the new folder shown; the same folder again is reloaded;
// a cancelled or refused choice changes nothing.
TEST(SaveFolder, ChooseWritesTheOldThumbnailFileAndLoadsTheNew)
{
    QTemporaryDir a, b;
    const QString first = QDir::cleanPath(a.path()), second = QDir::cleanPath(b.path());
    DibImage picture;
    ASSERT_TRUE(picture.Create(32, 24, 24));
    ASSERT_EQ(SavePicture(first + "/a.bmp", picture, kSaveBmp), 1);
    ASSERT_EQ(SavePicture(second + "/b.jpg", picture, kSaveJpeg), 1);
    ThumbnailStore store;
    store.setSaveFolder(first);
    store.ScanFolder(first);

    QStringList told;
    QString answer;
    QString askedTitle;
    const FolderAsker ask = [&](const QString& title, const QString&) {
        askedTitle = title;
        return answer;
    };
    const MessageTeller tell = [&](const QString& text) { told << text; };
    SaveFolder saveFolder(store);

    EXPECT_FALSE(saveFolder.Choose(ask, tell, true)); // cancelled
    EXPECT_EQ(askedTitle, QString::fromUtf8("フォルダを選択して下さい"));
    EXPECT_EQ(store.saveFolder(), first);
    answer = first + "/a.bmp"; // not a folder
    EXPECT_FALSE(saveFolder.Choose(ask, tell, false));
    EXPECT_EQ(told, QStringList { FileTexts::FolderRefused(false) });
    EXPECT_EQ(store.count(), 1);

    answer = second;
    EXPECT_TRUE(saveFolder.Choose(ask, tell, false));
    EXPECT_EQ(askedTitle, "Please specify a save folder");
    EXPECT_EQ(store.saveFolder(), second);
    EXPECT_EQ(pathsOf(store), std::vector<QString> { second + "/b.jpg" });
    ThumbnailStore old;
    EXPECT_EQ(old.Load(first + "/ThumbNail"), 1);
    EXPECT_EQ(pathsOf(old), std::vector<QString> { first + "/a.bmp" });

    // The same folder again: its own ThumbNail file is written and read back, with the same entries.
    EXPECT_TRUE(saveFolder.Choose(ask, tell, false));
    EXPECT_TRUE(QFile::exists(second + "/ThumbNail"));
    EXPECT_EQ(pathsOf(store), std::vector<QString> { second + "/b.jpg" });
}
