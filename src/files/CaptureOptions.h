// How quick capture saves: its key, the file name pattern, the format, whether the measurement drawing goes
// in, and the JPEG quality (which SAVE uses too); and what a recording takes. Kept in the settings file's
// main section.
#pragma once

#include <QString>

#include <cstdint>

class ProfileFile;

struct CaptureOptions {
    // The key as QKeySequence writes it ("F12", "Ctrl+Shift+S").
    QString key = QStringLiteral("F12");
    // %Y %m %d %H %M %S: the local time's parts; %n: the counter; %c: the calibration's name; %%: a "%".
    // The default is the name SAVE proposes.
    QString namePattern = QStringLiteral("%Y%m%d%H%M%S");
    int format = 1; // the save dialog's filter index: 1 BMP, 2 JPEG, 3 PNG, 4 TIFF
    bool overlay = false;
    // 1..100; 50 is the standard tables unscaled, the bytes SAVE has always written.
    int jpegQuality = 50;
    // The next %n; counts every quick capture, and is kept across runs.
    int64_t counter = 1;
    // What REC records: what the view shows (else the whole frame), and with the measurement drawing.
    bool recordView = false;
    bool recordOverlay = false;

    static constexpr int kMinQuality = 1;
    static constexpr int kMaxQuality = 100;
    static constexpr qsizetype kMaxPattern = 200;

    // The values the file holds; a key absent or out of range keeps the default.
    static CaptureOptions Load(const ProfileFile& file);
    void save(ProfileFile& file) const;
    // "bmp", "jpg", "png", "tif" for a format; empty for none of them.
    static QString Extension(int format);
    // The format whose extension that is (any case); 0 for none.
    static int FormatOf(const QString& extension);
};
