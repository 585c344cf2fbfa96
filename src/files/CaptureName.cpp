#include "files/CaptureName.h"

#include "files/ThumbnailStore.h"

namespace CaptureName {

QString Expand(const QString& pattern, const QDateTime& when, int64_t counter, const QString& calibName)
{
    const QDate d = when.date();
    const QTime t = when.time();
    const auto two = [](int v) { return QString::asprintf("%02d", v); };
    QString out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c != u'%' || i + 1 == pattern.size()) {
            out += c;
            continue;
        }
        const QChar code = pattern[++i];
        switch (code.unicode()) {
        case 'Y': out += QString::asprintf("%04d", d.year()); break;
        case 'm': out += two(d.month()); break;
        case 'd': out += two(d.day()); break;
        case 'H': out += two(t.hour()); break;
        case 'M': out += two(t.minute()); break;
        case 'S': out += two(t.second()); break;
        case 'n': out += QString::asprintf("%04lld", static_cast<long long>(counter)); break;
        case 'c': out += calibName; break;
        case '%': out += u'%'; break;
        default: out += c; out += code; break;
        }
    }
    for (QChar& c : out)
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            c = u'_';
    if (out.isEmpty() || out == QLatin1String(".") || out == QLatin1String(".."))
        out = QStringLiteral("capture");
    return out;
}

QString FreePath(const QString& folder, const QString& base, const QString& extension,
    const std::function<bool(const QString& path)>& taken)
{
    constexpr int kTries = 1000;
    for (int n = 1; n <= kTries; ++n) {
        const QString name = (n == 1 ? base : base + QStringLiteral("_%1").arg(n)) + u'.' + extension;
        const QString path = ThumbnailStore::PathIn(folder, name);
        if (!taken(path))
            return path;
    }
    return {};
}

} // namespace CaptureName
