#include "files/ThumbnailStore.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

#include "files/OpenPicture.h"
#include "files/ThumbnailReader.h"
#include "files/ThumbnailScan.h"
#include "files/VideoFile.h"
#include "imaging/BitmapHeader.h"
#include "imaging/Kernels.h"
#include "platform/AtomicFile.h"

namespace {

constexpr char kMagic[] = "VIZMAR THUMBNAILFILE VER"; // current prefix, 24 characters
constexpr char kOldMagic[] = "ZR-QT THUMBNAILFILE VER"; // older prefix, 23 characters
constexpr int kVersionBytes = 5; // "1000" and a zero byte
constexpr int kVersion = 1000;
constexpr size_t kEntryHeaderBytes = 8; // size and reserved, between a name and its bitmap
constexpr uint16_t kBmMagic = 0x4D42; // "BM"
constexpr uint32_t kBmpHeaderBytes = sizeof(BitmapFileHeader) + sizeof(BitmapInfoHeader); // 54
// A thumbnail file larger than this is not ours (500 pictures take 22 MB).
constexpr qint64 kMaxFileBytes = qint64(1) << 30;
constexpr qint64 kReadChunk = qint64(1) << 22;
// Stored bitmaps wider or taller than this are refused before decoding: a forged header must not make
// the decoder allocate rows from its claims.
constexpr int32_t kMaxStoredSide = 16384;

int32_t newId()
{
    const uint32_t random = QRandomGenerator::global()->bounded(32768u);
    const auto ticks
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return int32_t(random * uint32_t(ticks.count())); // wraps like the 32-bit product it always was
}

int32_t readInt32(const uint8_t* p)
{
    int32_t v;
    std::memcpy(&v, p, sizeof v); // little-endian, as every machine we build for
    return v;
}

void appendInt32(QByteArray& out, int32_t v)
{
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

// Whether the stored bitmap is one we agree to decode: a BMP whose stated sides are sane.
bool plausibleBitmap(const uint8_t* bitmap, size_t size)
{
    if (size < kBmpHeaderBytes)
        return false;
    BitmapFileHeader file;
    BitmapInfoHeader info;
    std::memcpy(&file, bitmap, sizeof file);
    std::memcpy(&info, bitmap + sizeof file, sizeof info);
    return file.type == kBmMagic && info.width > 0 && info.width <= kMaxStoredSide && info.height > 0
        && info.height <= kMaxStoredSide;
}

} // namespace

ThumbnailStore::ThumbnailStore() = default;

ThumbnailStore::~ThumbnailStore()
{
    Clear();
}

QString ThumbnailStore::PathIn(const QString& folder, const QString& name)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString ThumbnailStore::FileIn(const QString& folder)
{
    return PathIn(folder, QLatin1String(kFileName));
}

bool ThumbnailStore::IsPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

bool ThumbnailStore::IsPictureName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const QStringView extension = QStringView(name).mid(dot);
    return extension == QLatin1String(".bmp") || extension == QLatin1String(".jpg")
        || extension == QLatin1String(".png") || extension == QLatin1String(".tif")
        || extension == QLatin1String(".tiff") || extension == QLatin1String(".mp4");
}

bool ThumbnailStore::IsVideoName(const QString& name)
{
    return name.endsWith(QLatin1String(".mp4"));
}

void ThumbnailStore::MarkVideo(DibImage& thumbnail)
{
    constexpr int kBoxWidth = 26, kBoxHeight = 20, kMargin = 4, kCorner = 2;
    constexpr int kTriangleLeft = 9, kTriangleWidth = 10, kTriangleTop = 4; // inside the box
    // Top right: the index is drawn at the top left and the name over the bottom.
    const int left = thumbnail.width() - kMargin - kBoxWidth, top = kMargin;
    if (thumbnail.bitsPerPixel() != 24 || left < 0 || top + kBoxHeight > thumbnail.height())
        return;
    const int halfHeight = kBoxHeight / 2 - kTriangleTop;
    for (int y = 0; y < kBoxHeight; ++y) {
        uint8_t* row = thumbnail.rowTopDown(top + y) + 3 * left;
        for (int x = 0; x < kBoxWidth; ++x) {
            const int dx = std::min(x, kBoxWidth - 1 - x), dy = std::min(y, kBoxHeight - 1 - y);
            if (dx + dy < kCorner)
                continue; // the box's corners cut off: rounded enough at this size
            // The triangle narrows from its left edge to the point at the right.
            const int along = x - kTriangleLeft;
            const bool inside = along >= 0 && along < kTriangleWidth
                && std::abs(2 * y + 1 - kBoxHeight) * kTriangleWidth <= 2 * halfHeight * (kTriangleWidth - along);
            std::memset(row + 3 * x, inside ? 255 : 40, 3);
        }
    }
}

std::unique_ptr<ThumbnailEntry> ThumbnailStore::makeEntry(const QString& path)
{
    auto entry = std::make_unique<ThumbnailEntry>();
    if (!entry->image.Create(kThumbWidth, kThumbHeight, 24))
        return nullptr;
    entry->id = newId();
    entry->path = path;
    return entry;
}

void ThumbnailStore::append(std::unique_ptr<ThumbnailEntry> entry)
{
    ThumbnailEntry* raw = entry.release();
    // One entry per picture file: a picture saved again under its name takes over its old place.
    for (ThumbnailEntry* old = m_First; old; old = old->next) {
        if (old->path != raw->path)
            continue;
        raw->prev = old->prev;
        raw->next = old->next;
        (old->prev ? old->prev->next : m_First) = raw;
        (old->next ? old->next->prev : m_Last) = raw;
        delete old;
        m_Current = raw;
        return;
    }
    raw->prev = m_Last;
    raw->next = nullptr;
    (m_Last ? m_Last->next : m_First) = raw;
    m_Last = raw;
    m_Current = raw;
    ++m_Count;
}

std::unique_ptr<ThumbnailEntry> ThumbnailStore::reduced(const QString& path, const DibImage& picture)
{
    std::unique_ptr<ThumbnailEntry> entry = picture.isEmpty() ? nullptr : makeEntry(path);
    if (entry)
        entry->image.ApplyScaled(ScaleRgb, picture, nullptr, nullptr, nullptr, nullptr);
    return entry;
}

std::unique_ptr<ThumbnailEntry> ThumbnailStore::reducedFile(const QString& path)
{
    DibImage picture; // the loader that opens pictures, so the strip shows whatever can be opened
    if (!IsVideoName(path)) {
        // Only the rows a BMP's thumbnail samples, a JPEG at reduced scale; the rest decoded whole.
        std::unique_ptr<ThumbnailEntry> entry = makeEntry(path);
        if (entry && ReducePictureFile(path, kThumbWidth, kThumbHeight, entry->image))
            return entry;
        return OpenPicture(path, picture) ? reduced(path, picture) : nullptr;
    }
    std::unique_ptr<ThumbnailEntry> entry = DecodeVideoFirstFrame(path, picture) ? reduced(path, picture) : nullptr;
    if (entry)
        MarkVideo(entry->image);
    return entry;
}

int ThumbnailStore::Reduce(const DibImage& picture, DibImage& thumbnail)
{
    DibImage colour;
    const DibImage* source = &picture;
    if (picture.bitsPerPixel() != 24) {
        if (picture.isEmpty() || !colour.Create(picture.width(), picture.height(), 24)
            || !colour.Blit(picture, nullptr, 0, 0))
            return 0;
        source = &colour;
    }
    if (source->isEmpty() || !thumbnail.Create(kThumbWidth, kThumbHeight, 24))
        return 0;
    thumbnail.ApplyScaled(ScaleRgb, *source, nullptr, nullptr, nullptr, nullptr);
    return 1;
}

int ThumbnailStore::AddScaled(const QString& path, const DibImage& picture)
{
    std::unique_ptr<ThumbnailEntry> entry = reduced(path, picture);
    if (!entry)
        return 0;
    append(std::move(entry));
    return 1;
}

int ThumbnailStore::AddCopied(const QString& path, const DibImage& picture)
{
    std::unique_ptr<ThumbnailEntry> entry = picture.isEmpty() ? nullptr : makeEntry(path);
    if (!entry)
        return 0;
    const Rect corner { 0, 0, kThumbWidth, kThumbHeight };
    entry->image.Blit(picture, &corner, 0, 0);
    append(std::move(entry));
    return 1;
}

int ThumbnailStore::AddFile(const QString& path)
{
    std::unique_ptr<ThumbnailEntry> entry = reducedFile(path);
    if (!entry)
        return 0;
    append(std::move(entry));
    return 1;
}

void ThumbnailStore::unlinkAndDelete(ThumbnailEntry* entry)
{
    (entry->prev ? entry->prev->next : m_First) = entry->next;
    (entry->next ? entry->next->prev : m_Last) = entry->prev;
    delete entry;
    --m_Count;
}

void ThumbnailStore::Clear()
{
    m_Scan.reset();
    for (ThumbnailEntry* e = m_First; e;) {
        ThumbnailEntry* next = e->next;
        delete e;
        e = next;
    }
    m_First = m_Last = m_Current = nullptr;
    m_Count = 0;
}

int ThumbnailStore::SeekTo(int index)
{
    if (index < 0 || index >= m_Count)
        return 0;
    ThumbnailEntry* e = m_First;
    for (int i = 0; i < index; ++i)
        e = e->next;
    m_Current = e;
    return 1;
}

void ThumbnailStore::RemoveCurrent()
{
    ThumbnailEntry* gone = m_Current;
    if (!gone)
        return;
    m_Current = gone->next ? gone->next : gone->prev;
    unlinkAndDelete(gone);
}

int ThumbnailStore::Save(const QString& thumbnailFile) const
{
    if (m_Count == 0) {
        QFile::remove(thumbnailFile); // an empty store leaves no file
        return 0;
    }
    AtomicFile file(thumbnailFile);
    QByteArray head(kMagic, sizeof kMagic - 1);
    head.append("1000", 4);
    head.append('\0'); // 29 bytes of magic and version
    appendInt32(head, m_Count);
    bool ok = file.write(head);
    for (const ThumbnailEntry* e = m_First; e && ok; e = e->next) {
        const QByteArray name = QFile::encodeName(QFileInfo(e->path).fileName());
        const uint32_t bitmapBytes = uint32_t(kBmpHeaderBytes + e->image.byteSize()); // 44154 for 140 x 105
        BitmapFileHeader fileHeader;
        fileHeader.type = kBmMagic;
        fileHeader.size = bitmapBytes;
        fileHeader.offBits = kBmpHeaderBytes;
        BitmapInfoHeader info; // size 40, everything else 0 unless set
        info.width = e->image.width();
        info.height = e->image.height(); // positive: rows bottom-up, as they are in memory
        info.planes = 1;
        info.bitCount = 24;
        QByteArray record = name;
        record.append('\0');
        appendInt32(record, int32_t(bitmapBytes));
        appendInt32(record, 0); // reserved
        record.append(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
        record.append(reinterpret_cast<const char*>(&info), sizeof info);
        record.append(reinterpret_cast<const char*>(e->image.bits()), qsizetype(e->image.byteSize()));
        ok = file.write(record);
    }
    return file.commit() ? 1 : 0; // nothing replaced unless every record was written
}

int ThumbnailStore::Load(const QString& thumbnailFile)
{
    // Only a regular file, read in bounded steps: a device or a pipe in its place would never end.
    QFile file(thumbnailFile);
    if (!QFileInfo(thumbnailFile).isFile() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes)
        return 0;
    QByteArray bytes;
    for (QByteArray chunk; !(chunk = file.read(kReadChunk)).isEmpty();) {
        if (bytes.size() + chunk.size() > kMaxFileBytes)
            return 0;
        bytes.append(chunk);
    }
    const int slash = int(thumbnailFile.lastIndexOf(QLatin1Char('/')));
    const QString folder = slash >= 0 ? thumbnailFile.left(slash + 1) : QString();
    return LoadBytes(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), folder,
        [](const QString& path) { return QFileInfo(path).isFile(); });
}

int ThumbnailStore::LoadBytes(const uint8_t* data, size_t size, const QString& folder,
    const std::function<bool(const QString& path)>& pictureExists)
{
    if (!data)
        return 0;
    // The magic: the older prefix first, then the current one; five version bytes follow either.
    size_t at = 0;
    if (size >= sizeof kOldMagic - 1 && std::memcmp(data, kOldMagic, sizeof kOldMagic - 1) == 0)
        at = sizeof kOldMagic - 1;
    else if (size >= sizeof kMagic - 1 && std::memcmp(data, kMagic, sizeof kMagic - 1) == 0)
        at = sizeof kMagic - 1;
    else
        return 0;
    if (size - at < kVersionBytes + 4)
        return 0;
    char version[kVersionBytes + 1] = {};
    std::memcpy(version, data + at, kVersionBytes);
    if (std::atoi(version) != kVersion)
        return 0;
    at += kVersionBytes;
    const int32_t count = readInt32(data + at);
    at += 4;

    // Every step checks what is left: the file may end early or state sizes it does not hold.
    for (int32_t i = 0; i < count; ++i) {
        const auto* nameEnd = static_cast<const uint8_t*>(std::memchr(data + at, 0, size - at));
        if (!nameEnd)
            break;
        const QByteArray nameBytes(reinterpret_cast<const char*>(data + at), nameEnd - (data + at));
        const QString name = QFile::decodeName(nameBytes);
        at = size_t(nameEnd - data) + 1;
        if (size - at < kEntryHeaderBytes)
            break;
        const int32_t bitmapBytes = readInt32(data + at);
        at += kEntryHeaderBytes;
        if (bitmapBytes < 0 || size_t(bitmapBytes) > size - at)
            break;
        // A name with a folder in it would point outside the save folder: such an entry is not ours. Nor is one
        // whose bytes decode to another name (the thumbnail would be shown for another file).
        const QString path = PathIn(folder, name);
        if (IsPlainFileName(name) && NameRoundTrips(nameBytes) && pictureExists(path))
            loadEntry(path, data + at, size_t(bitmapBytes));
        at += size_t(bitmapBytes);
    }
    return 1;
}

void ThumbnailStore::loadEntry(const QString& path, const uint8_t* bitmap, size_t size)
{
    if (!plausibleBitmap(bitmap, size))
        return;
    // Decoded straight into the thumbnail: the stored picture's top-left corner, as a block copy of the
    // decoded bitmap would give, without holding the whole of it.
    std::unique_ptr<ThumbnailEntry> entry = makeEntry(path);
    if (entry && entry->image.LoadBmpImage(bitmap, size))
        append(std::move(entry));
}

bool ThumbnailStore::NameRoundTrips(const QByteArray& bytes)
{
    return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

int ThumbnailStore::ScanFolder(const QString& folder)
{
    const int listed = StartScan(folder);
    if (m_Scan) {
        m_Scan->Wait();
        TakeScanned();
    }
    return listed;
}

int32_t ThumbnailStore::scanDone() const
{
    return m_Scan ? int32_t(m_Scan->done()) : 0;
}

int32_t ThumbnailStore::scanTotal() const
{
    return m_Scan ? int32_t(m_Scan->total()) : 0;
}

int ThumbnailStore::TakeScanned()
{
    if (!m_Scan)
        return 0;
    int added = 0;
    for (std::unique_ptr<ThumbnailEntry>& entry : m_Scan->TakeReady()) {
        append(std::move(entry));
        ++added;
    }
    if (m_Scan->finished())
        m_Scan.reset();
    return added;
}

int ThumbnailStore::StartScan(const QString& folder)
{
    m_Scan.reset(); // what it had not handed over yet is listed again below
    // The entries are read as the bytes the file system holds: QDir would hand back names already decoded, and
    // a name that is no valid text decodes to another file's name (an invalid byte becomes U+FFFD). Such
    // names cannot be opened by their decoded name, so they are left out and counted instead.
    m_SkippedNames = 0;
    QStringList names;
    const QByteArray folderBytes = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (DIR* dir = opendir(folderBytes.constData())) {
        while (const dirent* d = readdir(dir)) {
            const QByteArray name(d->d_name);
            if (!IsPictureName(QString::fromLatin1(name)))
                continue;
            struct stat st;
            const QByteArray path = folderBytes + '/' + name;
            if (stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) // regular files, through links
                continue;
            if (NameRoundTrips(name))
                names.append(QFile::decodeName(name));
            else
                ++m_SkippedNames;
        }
        closedir(dir);
    }
    if (names.isEmpty()) {
        Clear();
        return 0;
    }
    // Byte order of the names, so the strip lists the same folder the same way on every run.
    std::sort(names.begin(), names.end(),
        [](const QString& a, const QString& b) { return QFile::encodeName(a) < QFile::encodeName(b); });
    QSet<QString> known;
    for (const ThumbnailEntry* e = m_First; e; e = e->next)
        known.insert(e->path);
    std::vector<QString> fresh;
    for (const QString& name : names) {
        const QString path = PathIn(folder, name);
        if (!known.contains(path))
            fresh.push_back(path);
    }
    // Decoding a frame takes milliseconds: the pictures are decoded and reduced on every core, each into
    // its own slot, and appended in name order.
    if (!fresh.empty())
        m_Scan = std::make_unique<ThumbnailScan>(std::move(fresh), &ThumbnailStore::reducedFile);
    return 1;
}
