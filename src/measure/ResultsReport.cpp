// The inspection report's CSV and PDF files.
#include "measure/ResultsReport.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

#include "measure/MeasureList.h"
#include "measure/MeasureResults.h"
#include "measure/ResultsModel.h"
#include "platform/AtomicFile.h"

namespace {

QString text(bool japanese, const char* english, const char* inJapanese)
{
    return japanese ? QString::fromUtf8(inJapanese) : QString::fromUtf8(english);
}

std::array<QString, 8> columnNames(bool japanese)
{
    return { QStringLiteral("No."), text(japanese, "Type", "種類"), text(japanese, "Result", "結果"),
        text(japanese, "Unit", "単位"), text(japanese, "Nominal", "基準値"), text(japanese, "Upper", "上限"),
        text(japanese, "Lower", "下限"), text(japanese, "Verdict", "判定") };
}

// Ten digits: the limits as typed, without the last-bit noise a change of unit leaves.
QString limit(double v)
{
    return QString::number(v, 'g', 10);
}

QString field(const QString& s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n'))
        && !s.contains(QLatin1Char('\r')))
        return s;
    return QLatin1Char('"') + QString(s).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString dateText(const QDateTime& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString calibText(const ReportHeader& h)
{
    return QStringLiteral("%1 (%2, %3 x %4 %5/px)")
        .arg(h.calibName, unitText(h.unit), limit(h.mppX), limit(h.mppY), unitText(h.unit));
}

} // namespace

std::vector<ReportRow> ReportRows(const MeasureList& items, bool japanese)
{
    std::vector<ReportRow> rows;
    int32_t number = 0;
    for (const ResultsModel::Row& row : ResultsModel::rowsOf(items)) {
        const ResultsModel::Cells cells = ResultsModel::cellsOf(row, number++);
        ReportRow r { cells[0], cells[1], cells[2], cells[3] };
        const Verdict verdict = ResultsModel::verdictOf(row);
        if (verdict != Verdict::None) {
            const Tolerance& t = *row.item->tolerance;
            r[4] = limit(t.nominal);
            r[5] = limit(t.upper);
            r[6] = limit(t.lower);
            r[7] = ResultsModel::verdictText(verdict, japanese);
        }
        rows.push_back(r);
    }
    return rows;
}

QByteArray ReportCsv(const ReportHeader& header, const std::vector<ReportRow>& rows, bool japanese)
{
    QString out;
    const auto line = [&out](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields)
            quoted << field(f);
        out += quoted.join(QLatin1Char(',')) + QLatin1String("\r\n");
    };
    line({ text(japanese, "Date", "日時"), dateText(header.date) });
    line({ text(japanese, "Picture", "画像"), header.pictureName });
    line({ text(japanese, "Calibration", "校正"), header.calibName });
    line({ text(japanese, "Unit", "単位"), unitText(header.unit) });
    line({ text(japanese, "Units per pixel", "1画素あたり"), limit(header.mppX), limit(header.mppY) });
    out += QLatin1String("\r\n");
    const auto names = columnNames(japanese);
    line(QStringList(names.begin(), names.end()));
    for (const ReportRow& r : rows)
        line(QStringList(r.begin(), r.end()));
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

bool WriteReportPdf(const QString& path, const QImage& picture, const ReportHeader& header,
    const std::vector<ReportRow>& rows, bool japanese)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
            QPageLayout::Millimeter));
        writer.setResolution(300);
        writer.setTitle(text(japanese, "Inspection report", "検査成績書"));
        writer.setCreator(QStringLiteral("nxviewer"));
        QPainter painter;
        if (!painter.begin(&writer))
            return false;
        const QRect page = painter.viewport();
        const int w = page.width();
        const int h = page.height();
        QFont font = painter.font();
        font.setPointSizeF(10);
        painter.setFont(font);
        const int lineHeight = painter.fontMetrics().height() * 3 / 2;

        QFont title = font;
        title.setPointSizeF(16);
        title.setBold(true);
        painter.setFont(title);
        int y = painter.fontMetrics().height();
        painter.drawText(0, y, text(japanese, "Inspection report", "検査成績書"));
        painter.setFont(font);
        y += lineHeight;
        painter.drawText(0, y, text(japanese, "Date: ", "日時：") + dateText(header.date));
        y += lineHeight;
        painter.drawText(0, y, text(japanese, "Picture: ", "画像：") + header.pictureName);
        y += lineHeight;
        painter.drawText(0, y, text(japanese, "Calibration: ", "校正：") + calibText(header));
        y += lineHeight / 2;

        // The picture fits the upper half, its aspect kept.
        const QRect area(0, y, w, h / 2 - y);
        if (!picture.isNull() && area.height() > 0) {
            const QSize size = picture.size().scaled(area.size(), Qt::KeepAspectRatio);
            painter.drawImage(QRect(area.left() + (area.width() - size.width()) / 2, area.top(), size.width(),
                                  size.height()),
                picture);
        }

        // The table, in widths that suit its columns; rows that do not fit the page are counted at its end.
        static constexpr int kWeights[8] = { 5, 20, 12, 7, 12, 10, 10, 10 };
        int x[9] = { 0 };
        for (int c = 0; c < 8; ++c)
            x[c + 1] = x[c] + w * kWeights[c] / 86;
        y = h / 2 + lineHeight;
        const auto tableRow = [&](const std::array<QString, 8>& cells, bool bold) {
            QFont f = font;
            f.setBold(bold);
            painter.setFont(f);
            for (int c = 0; c < 8; ++c) {
                if (c == 7 && !bold && !cells[7].isEmpty()) // the heading stays black
                    painter.setPen(cells[7] == ResultsModel::verdictText(Verdict::Pass, japanese) ? QColor(0, 140, 0)
                                                                                                   : QColor(200, 0, 0));
                painter.drawText(QRect(x[c], y - lineHeight, x[c + 1] - x[c], lineHeight),
                    Qt::AlignLeft | Qt::AlignVCenter, cells[size_t(c)]);
                painter.setPen(Qt::black);
            }
            painter.drawLine(0, y, x[8], y);
            y += lineHeight;
        };
        tableRow(columnNames(japanese), true);
        size_t shown = 0;
        for (; shown < rows.size() && y + lineHeight <= h; ++shown)
            tableRow(rows[shown], false);
        if (shown < rows.size())
            painter.drawText(0, y, text(japanese, "%1 more rows in the CSV file", "残り%1行はCSVファイルにあります")
                                       .arg(rows.size() - shown));
        if (!painter.end())
            return false;
    }
    return WriteFileAtomically(path, buffer.data().constData(), buffer.data().size());
}

bool WriteResultsReport(const QString& pathBase, const MeasureList& items, const CalibEntry& calib,
    const QImage& picture, const QString& pictureName, const QDateTime& date, bool japanese, QString* reason)
{
    const ReportHeader header { date, QFileInfo(pictureName).fileName(), calib.name, calib.unit, calib.mppX,
        calib.mppY };
    const std::vector<ReportRow> rows = ReportRows(items, japanese);
    const QByteArray csv = ReportCsv(header, rows, japanese);
    for (const QString& path : { pathBase + QStringLiteral(".csv"), pathBase + QStringLiteral(".pdf") }) {
        const bool written = path.endsWith(QLatin1String(".csv"))
            ? WriteFileAtomically(path, csv.constData(), csv.size())
            : WriteReportPdf(path, picture, header, rows, japanese);
        if (!written) {
            if (reason)
                *reason = QFileInfo(path).fileName();
            return false;
        }
    }
    return true;
}
