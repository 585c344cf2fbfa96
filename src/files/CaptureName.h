// The names quick capture gives its files: a pattern filled in with the time, a counter and the
// calibration's name, made safe as one file name, and kept clear of every file already there.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

namespace CaptureName {

// The pattern with %Y %m %d %H %M %S (the time, zero-padded), %n (the counter, at least four digits), %c
// (the calibration's name) and %% ("%") put in; any other "%x" stays as it is. Characters a file name cannot
// hold (separators, control characters) become "_"; an empty result, "." or ".." becomes "capture".
QString Expand(const QString& pattern, const QDateTime& when, int64_t counter, const QString& calibName);

// base + "." + extension in folder, or, when that path is taken (taken(path) holds), base + "_2", "_3", ...:
// the first path not taken. Empty when none is free within a thousand tries.
QString FreePath(const QString& folder, const QString& base, const QString& extension,
    const std::function<bool(const QString& path)>& taken);

} // namespace CaptureName
