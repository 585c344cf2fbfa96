// Writing, reading and applying recipe files.
#include "measure/Recipe.h"

#include <QLocale>
#include <QString>

#include <cmath>

#include "calib/CalibEntry.h"
#include "measure/MeasureList.h"
#include "measure/MeasureResults.h"
#include "measure/MeasureSession.h"
#include "measure/PictureNotes.h"

namespace {

constexpr char kMagic[] = "nxviewer-recipe";
constexpr char kTol[] = "tol";
constexpr char kWidth[] = "width";
constexpr char kDegrees[] = "deg";
// Lines left out that are named one by one; the rest are counted.
constexpr int kNamedLines = 10;

QByteArray num(double v)
{
    // The shortest text that reads back to the same double.
    return QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
}

std::optional<double> numberFrom(const QByteArray& token)
{
    bool ok = false;
    const double v = token.toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::abs(v) > notes::kMaxMagnitude)
        return std::nullopt;
    return v;
}

std::optional<int32_t> unitFrom(const QByteArray& token)
{
    for (int32_t unit : { UnitCm, UnitMm, UnitUm })
        if (QString::fromLatin1(token) == unitText(unit))
            return unit;
    return std::nullopt;
}

std::optional<MeasureItem> itemFrom(const QList<QByteArray>& tokens)
{
    qsizetype end = tokens.indexOf(QByteArray(kTol));
    if (end < 0)
        end = tokens.size();
    // A kind and whole pairs of coordinates, optionally a band's width; then nothing or the five tokens of a
    // tolerance.
    if (end != tokens.size() && tokens.size() - end != 5)
        return std::nullopt;
    const qsizetype tolAt = end;
    std::optional<double> halfWidth;
    if (end >= 3 && tokens[end - 2] == kWidth) {
        const auto w = numberFrom(tokens[end - 1]);
        halfWidth = w ? EdgeBandHalfWidth(*w) : std::nullopt;
        if (!halfWidth)
            return std::nullopt;
        end -= 2;
    }
    if (end < 1 || (end - 1) % 2 != 0 || (end - 1) / 2 > notes::kMaxAreaPoints)
        return std::nullopt;
    std::vector<MeasurePoint> points;
    for (qsizetype i = 1; i + 1 < end; i += 2) {
        const auto x = numberFrom(tokens[i]);
        const auto y = numberFrom(tokens[i + 1]);
        if (!x || !y)
            return std::nullopt;
        points.push_back({ *x, *y });
    }
    std::optional<MeasureItem> item = MeasureItemOfKind(QString::fromUtf8(tokens[0]), points);
    if (item && halfWidth) {
        if (item->halfWidth <= 0.0) // a kind without a band
            return std::nullopt;
        item->halfWidth = *halfWidth;
    }
    end = tolAt;
    if (!item || end == tokens.size())
        return item;
    const auto nominal = numberFrom(tokens[end + 1]);
    const auto upper = numberFrom(tokens[end + 2]);
    const auto lower = numberFrom(tokens[end + 3]);
    const QByteArray& unit = tokens[end + 4];
    const bool angle = isAngleKind(item->type);
    const std::optional<int32_t> code = unitFrom(unit);
    if (!nominal || !upper || !lower || (angle ? unit != kDegrees : !code))
        return std::nullopt;
    const Tolerance t { *nominal, *upper, *lower };
    if (!t.valid())
        return std::nullopt;
    item->tolerance = t;
    if (!angle)
        item->unit = *code;
    return item;
}

} // namespace

QByteArray WriteRecipe(const MeasureList& items)
{
    QByteArray out = QByteArray(kMagic) + ' ' + QByteArray::number(recipe::kVersion) + '\n';
    for (const MeasureItem& item : items) {
        const char* kind = MeasureKindName(item.type);
        if (!kind)
            continue;
        out += kind;
        for (int32_t i = 0; i < item.countedPoints(); ++i)
            out += ' ' + num(item.point(i).x) + ' ' + num(item.point(i).y);
        if (item.type == -ToolCaliper || item.type == -ToolEdgeLine)
            out += ' ' + QByteArray(kWidth) + ' ' + num(item.halfWidth);
        // A tolerance in a unit the program cannot name could not be read back: it stays out.
        const QByteArray unit = isAngleKind(item.type) ? QByteArray(kDegrees) : unitText(item.unit).toUtf8();
        if (item.tolerance && item.tolerance->valid() && !unit.isEmpty())
            out += ' ' + QByteArray(kTol) + ' ' + num(item.tolerance->nominal) + ' ' + num(item.tolerance->upper)
                + ' ' + num(item.tolerance->lower) + ' ' + unit;
        out += '\n';
    }
    return out;
}

std::optional<std::vector<MeasureItem>> ReadRecipe(const QByteArray& text, QStringList& ignored)
{
    const auto refuse = [&ignored]() -> std::optional<std::vector<MeasureItem>> {
        ignored << QStringLiteral("recipe");
        return std::nullopt;
    };
    if (text.size() > notes::kMaxDocumentBytes)
        return refuse();
    std::vector<MeasureItem> items;
    qsizetype pos = 0;
    int lineNumber = 0;
    bool header = false;
    int itemsLeft = 0;
    int linesLeft = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf('\n', pos);
        if (end < 0)
            end = text.size();
        const qsizetype length = end - pos;
        ++lineNumber;
        const QByteArray line = length > recipe::kMaxLineBytes ? QByteArray() : text.mid(pos, length).trimmed();
        pos = end + 1;
        if (!header) {
            const QList<QByteArray> first = line.simplified().split(' ');
            if (first.size() != 2 || first[0] != kMagic || first[1] != QByteArray::number(recipe::kVersion))
                return refuse();
            header = true;
            continue;
        }
        if (length <= recipe::kMaxLineBytes && (line.isEmpty() || line.startsWith('#')))
            continue;
        std::optional<MeasureItem> item;
        if (length <= recipe::kMaxLineBytes)
            item = itemFrom(line.simplified().split(' '));
        if (item && items.size() < size_t(notes::kMaxMeasurements))
            items.push_back(std::move(*item));
        else if (item)
            ++itemsLeft;
        else if (++linesLeft <= kNamedLines)
            ignored << QStringLiteral("line %1").arg(lineNumber);
    }
    if (!header)
        return refuse();
    if (linesLeft > kNamedLines)
        ignored << QStringLiteral("%1 more lines").arg(linesLeft - kNamedLines);
    if (itemsLeft > 0)
        ignored << QStringLiteral("%1 measurements").arg(itemsLeft);
    return items;
}

void ApplyRecipe(MeasureSession& session, const std::vector<MeasureItem>& items, const DibImage* picture,
    const std::function<void(MeasureItem&)>& relocate)
{
    std::vector<MeasureItem> placed = items;
    for (MeasureItem& item : placed) {
        if (relocate)
            relocate(item);
        // The circles follow points that were moved.
        if (item.type == -ToolCircle || item.type == -ToolCircle2)
            fitCircles(item);
    }
    session.replaceItems(placed, picture);
}
