#include "files/CaptureOptions.h"

#include <QKeySequence>

#include <array>

#include "platform/PrivateProfile.h"

namespace {

constexpr const char* kSection = "NX-QB740LE";
constexpr const char* kKeyKey = "QuickCaptureKey";
constexpr const char* kNameKey = "QuickCaptureName";
constexpr const char* kFormatKey = "QuickCaptureFormat";
constexpr const char* kOverlayKey = "QuickCaptureOverlay";
constexpr const char* kCounterKey = "QuickCaptureCounter";
constexpr const char* kQualityKey = "JpegQuality";
constexpr const char* kRecordSourceKey = "RecordSource"; // "frame" or "view"
constexpr const char* kRecordOverlayKey = "RecordOverlay";

constexpr std::array<const char*, 4> kExtensions { "bmp", "jpg", "png", "tif" };

} // namespace

QString CaptureOptions::Extension(int format)
{
    return format >= 1 && format <= int(kExtensions.size()) ? QString::fromLatin1(kExtensions[size_t(format - 1)])
                                                            : QString();
}

int CaptureOptions::FormatOf(const QString& extension)
{
    for (size_t i = 0; i < kExtensions.size(); ++i)
        if (extension.compare(QLatin1String(kExtensions[i]), Qt::CaseInsensitive) == 0)
            return int(i) + 1;
    return 0;
}

CaptureOptions CaptureOptions::Load(const ProfileFile& file)
{
    CaptureOptions o;
    if (const auto key = file.value(kSection, kKeyKey)) {
        // Only a key Qt can name again: a misspelt one would leave the person without quick capture.
        const QKeySequence keys(QString::fromStdString(*key));
        if (keys.count() == 1)
            o.key = keys.toString();
    }
    if (const auto pattern = file.value(kSection, kNameKey); pattern && !pattern->empty())
        o.namePattern = QString::fromStdString(*pattern).left(kMaxPattern);
    if (const auto format = file.value(kSection, kFormatKey); format && FormatOf(QString::fromStdString(*format)))
        o.format = FormatOf(QString::fromStdString(*format));
    o.overlay = file.intValue(kSection, kOverlayKey, 0) != 0;
    o.recordView = file.value(kSection, kRecordSourceKey).value_or("frame") == "view";
    o.recordOverlay = file.intValue(kSection, kRecordOverlayKey, 0) != 0;
    const int quality = file.intValue(kSection, kQualityKey, o.jpegQuality);
    if (quality >= kMinQuality && quality <= kMaxQuality)
        o.jpegQuality = quality;
    if (const auto counter = file.value(kSection, kCounterKey)) {
        bool ok = false;
        const qlonglong n = QString::fromStdString(*counter).toLongLong(&ok);
        if (ok && n >= 1)
            o.counter = n;
    }
    return o;
}

void CaptureOptions::save(ProfileFile& file) const
{
    file.setValue(kSection, kKeyKey, key.toStdString());
    file.setValue(kSection, kNameKey, namePattern.toStdString());
    file.setValue(kSection, kFormatKey, Extension(format).toStdString());
    file.setValue(kSection, kOverlayKey, overlay ? "1" : "0");
    file.setValue(kSection, kQualityKey, std::to_string(jpegQuality));
    file.setValue(kSection, kCounterKey, std::to_string(counter));
    file.setValue(kSection, kRecordSourceKey, recordView ? "view" : "frame");
    file.setValue(kSection, kRecordOverlayKey, recordOverlay ? "1" : "0");
}
