// The inspection report: the results with their tolerances and verdicts, as a CSV file and as a one-page
// PDF with the picture, for the record of a part.
//
// The CSV file is UTF-8 with a byte order mark (so spreadsheet programs take the Japanese texts as
// UTF-8), lines ended by CR LF, fields quoted ("...", quotes doubled) when they hold a comma, a quote or a
// line end:
//   Date,2026-12-07 10:30:00
//   Picture,part-001.png
//   Calibration,Data1
//   Unit,mm
//   Units per pixel,0.01,0.01
//   (empty line)
//   No.,Type,Result,Unit,Nominal,Upper,Lower,Verdict
//   0,Length,0.500,mm,0.5,0.01,0.01,OK
// One row per row of the results list (three for two circles); the nominal value, the limits (+ and -
// deviations) and the verdict ("OK"/"NG", in Japanese "合格"/"不合格") stand on the row of the item's main
// result and are empty elsewhere and for items without a tolerance. The labels of the header block and
// the column names are Japanese when the program is.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

#include <array>
#include <vector>

#include "calib/CalibEntry.h"

class MeasureList;

struct ReportHeader {
    QDateTime date;
    QString pictureName;   // the file name of the picture, without its folder
    QString calibName;
    int32_t unit = UnitCm;
    double mppX = 0.0;
    double mppY = 0.0;
};

// No., type, result, unit, nominal, upper, lower, verdict.
using ReportRow = std::array<QString, 8>;

// The rows of the report for the finished items, numbered as the results list numbers them.
std::vector<ReportRow> ReportRows(const MeasureList& items, bool japanese);

QByteArray ReportCsv(const ReportHeader& header, const std::vector<ReportRow>& rows, bool japanese);

// One A4 portrait page: the title, date, picture name and calibration, the picture (with its drawing and
// scale bar, as given) scaled to fit the upper half, and the results table below it. Written whole or
// not at all (the old file stays when it fails).
bool WriteReportPdf(const QString& path, const QImage& picture, const ReportHeader& header,
    const std::vector<ReportRow>& rows, bool japanese);

// Both files of the report for the items: pathBase + ".csv" and pathBase + ".pdf". False when either
// could not be written; reason (when given) names the file.
bool WriteResultsReport(const QString& pathBase, const MeasureList& items, const CalibEntry& calib,
    const QImage& picture, const QString& pictureName, const QDateTime& date, bool japanese,
    QString* reason = nullptr);
