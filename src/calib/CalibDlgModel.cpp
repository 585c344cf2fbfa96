// Result text, frame text and OK of the calibration dialog.
#include "calib/CalibDlgModel.h"

#include <QLocale>

#include <cmath>

#include "platform/Language.h"

void CalibDlgModel::open(CalibEntry* entry)
{
    m_Entry = entry;
    if (!entry)
        return;
    name = entry->name;
    lengthX = formatLength(entry->lengthX);
    lengthY = formatLength(entry->lengthY);
    unit = entry->unit;
}

std::optional<QString> CalibDlgModel::resultText() const
{
    const std::optional<double> x = parseLength(lengthX);
    const std::optional<double> y = parseLength(lengthY);
    if (!m_Entry || !x || !y)
        return std::nullopt;
    // A frame without extent shows its factor as inf or nan here; OK then keeps the old one.
    const double mppX = *x / (m_Entry->right - m_Entry->left);
    const double mppY = *y / (m_Entry->bottom - m_Entry->top);
    return QString::asprintf("X = %f, Y = %f [%s/pix]", mppX, mppY, qUtf8Printable(unitText(unit)));
}

QString CalibDlgModel::frameText() const
{
    if (!m_Entry)
        return {};
    const double width = m_Entry->right - m_Entry->left;
    const double height = m_Entry->bottom - m_Entry->top;
    QString text = g_bJapanese ? QString::asprintf("枠 %.1f × %.1f ピクセル", width, height)
                               : QString::asprintf("Frame %.1f x %.1f pix", width, height);
    const std::optional<double> x = parseLength(lengthX);
    const std::optional<double> y = parseLength(lengthY);
    if (!x || !y)
        return text;
    // The difference relative to the mean of the two factors: 0 for a frame fitted in proportion.
    const double mppX = *x / width;
    const double mppY = *y / height;
    const double mean = (std::fabs(mppX) + std::fabs(mppY)) * 0.5;
    const double percent = std::fabs(mppX - mppY) / mean * 100.0;
    if (!std::isfinite(percent))
        return text;
    text += g_bJapanese ? QString::asprintf("、XとYの差 %.1f%%", percent)
                        : QString::asprintf(", X and Y differ by %.1f%%", percent);
    return text;
}

CalibDlgModel::OkResult CalibDlgModel::ok()
{
    const std::optional<double> x = parseLength(lengthX);
    if (!x)
        return OkResult::BadLengthX;
    const std::optional<double> y = parseLength(lengthY);
    if (!y)
        return OkResult::BadLengthY;
    if (!m_Entry)
        return OkResult::Done;
    m_Entry->name = limitBytes(name, kMaxNameBytes);
    m_Entry->lengthX = *x;
    m_Entry->lengthY = *y;
    m_Entry->unit = unit;
    m_Entry->recomputeFactors();
    return OkResult::Done;
}

std::optional<double> CalibDlgModel::parseLength(const QString& text)
{
    // The C locale's decimal point, as the numbers are shown; "1,500" is no number here.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString CalibDlgModel::limitBytes(const QString& text, int32_t maxBytes)
{
    int32_t bytes = 0;
    qsizetype end = 0;
    for (const char32_t c : text.toUcs4()) {
        const int32_t n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes + n > maxBytes)
            break;
        bytes += n;
        end += c < 0x10000 ? 1 : 2; // UTF-16 code units of the character
    }
    return text.left(end);
}

QString CalibDlgModel::formatLength(double v)
{
    return QString::number(v, 'g', 15);
}
