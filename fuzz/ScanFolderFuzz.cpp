// The save folder's scan over file names made of arbitrary bytes (names that are no valid UTF-8 among them).
// Each name, split from the input at zero bytes, becomes a one-pixel picture of its own colour; after the scan
// every entry must name, byte for byte, a file that was made, and show that file's colour: an entry never
// stands for another file. Every name that does not survive decoding is counted as left out.
#include <QHash>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/ThumbnailStore.h"
#include "FuzzSupport.h"

namespace {

constexpr int kMaxNames = 8;
constexpr qsizetype kMaxNameBytes = 200;

const QString& scanFolder()
{
    static const QString folder = scratchFolder() + QStringLiteral("/scan");
    return folder;
}

// The one-pixel picture of colour i as BMP bytes (blue, green, red).
QByteArray pictureBytes(int i)
{
    static QHash<int, QByteArray> made;
    if (made.contains(i))
        return made[i];
    DibImage pixel;
    fuzzCheck(pixel.Create(1, 1, 24) == 1, "a pixel can be made");
    uint8_t* bgr = pixel.rowBottomUp(0);
    bgr[0] = uint8_t(17 + 29 * i);
    bgr[1] = uint8_t(200 - 23 * i);
    bgr[2] = uint8_t(31 * i);
    const QString path = scratchFolder() + QStringLiteral("/pixel.bmp");
    fuzzCheck(pixel.SaveBmp(path) == 1, "a pixel saves");
    return made[i] = readWhole(path);
}

// Emptied by the names' bytes: QDir would list the names decoded, and could not remove those that are no text.
void emptyScanFolder()
{
    const QByteArray folder = QFile::encodeName(scanFolder());
    if (DIR* dir = ::opendir(folder.constData())) {
        while (const dirent* d = ::readdir(dir))
            if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
                ::unlink((folder + '/' + d->d_name).constData());
        ::closedir(dir);
    } else {
        fuzzCheck(::mkdir(folder.constData(), 0700) == 0, "the scan folder is made");
    }
}

void writeRaw(const QByteArray& name, const QByteArray& bytes)
{
    const QByteArray path = QFile::encodeName(scanFolder()) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    fuzzCheck(fd >= 0, "a picture file can be made under any name");
    fuzzCheck(::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size(), "the picture is written");
    ::close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    emptyScanFolder();
    // Names as bytes: no separator, not "." or "..", ending in a picture extension (one is added otherwise).
    QHash<QByteArray, int> colourOf;
    int skippedNames = 0;
    for (const QByteArray& piece : QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0')) {
        if (colourOf.size() == kMaxNames)
            break;
        QByteArray name = piece.left(kMaxNameBytes).replace('/', '_');
        if (!name.endsWith(".bmp") && !name.endsWith(".jpg"))
            name += ".bmp";
        if (colourOf.contains(name))
            continue;
        const int colour = int(colourOf.size());
        colourOf.insert(name, colour);
        writeRaw(name, pictureBytes(colour));
        skippedNames += ThumbnailStore::NameRoundTrips(name) ? 0 : 1;
    }

    ThumbnailStore store;
    store.ScanFolder(scanFolder());
    fuzzCheck(store.skippedNames() == skippedNames, "every name that does not decode to itself is counted");
    int bmpEntries = 0;
    for (const ThumbnailEntry* e = store.first(); e; e = e->next) {
        const QString prefix = scanFolder() + QLatin1Char('/');
        fuzzCheck(e->path.startsWith(prefix), "an entry lies in the scanned folder");
        const QByteArray name = QFile::encodeName(e->path.mid(prefix.size()));
        fuzzCheck(colourOf.contains(name), "an entry names a file that was made, byte for byte");
        fuzzCheck(ThumbnailStore::NameRoundTrips(name), "an entry's name opens its own file");
        const uint8_t* shown = e->image.rowBottomUp(0);
        const uint8_t* made = reinterpret_cast<const uint8_t*>(pictureBytes(colourOf[name]).constData()) + 54;
        fuzzCheck(std::memcmp(shown, made, 3) == 0, "an entry shows the picture of the file it names");
        bmpEntries += name.endsWith(".bmp") ? 1 : 0;
    }
    int bmpNames = 0;
    for (auto it = colourOf.cbegin(); it != colourOf.cend(); ++it)
        bmpNames += it.key().endsWith(".bmp") && ThumbnailStore::NameRoundTrips(it.key()) ? 1 : 0;
    fuzzCheck(bmpEntries == bmpNames, "every readable bitmap has its entry");
    return 0;
}
