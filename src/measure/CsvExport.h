// CSV export of the results list: the proposed file name, the save dialog's texts in both languages, and
// the file itself (appended to, a header before every export, CR LF line ends, the user interface's code
// page). The dialog is a seam, so the whole export runs without widgets.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <functional>
#include <vector>

// What the save dialog shows.
struct CsvSaveDialog {
    QString title;          // "Save as" / "保存先指定"
    QString filter;         // the two filters, in the file dialog's "name(pattern);;name(pattern)" form
    QString defaultSuffix;  // "csv"
    QString initialPath;    // <folder>/<time stamp>.csv
};

class CsvExport {
public:
    // No., type, value and unit, as the results list shows them.
    using Row = std::array<QString, 4>;
    // Runs the save dialog; an empty path means cancelled.
    using AskPath = std::function<QString(const CsvSaveDialog&)>;

    // "%4d%02d%02d%02d%02d%02d.csv" of the local time.
    static QString ProposedName(const QDateTime& localTime);
    static CsvSaveDialog DialogFor(bool japanese, const QString& folder, const QDateTime& localTime);
    // The folder the dialog starts in: "result" beside the program, made when missing; fallback when it
    // cannot be made there (a program folder that is not writable).
    static QString ResultFolder(const QString& programDir, const QString& fallback);

    // The header line and one line per row, each ended by CR LF, fields joined by commas as they stand.
    static QByteArray Format(const std::vector<Row>& rows, bool japanese);
    // Appends Format's bytes to path in one write, creating the file when absent. 0 when it cannot be
    // opened or not wholly written: the file then keeps exactly the bytes it had (or is not there, as
    // before). A process killed in the middle of the write may leave part of the export after those bytes,
    // never a change to them. On failure reason (when given) says why.
    static int Write(const QString& path, const std::vector<Row>& rows, bool japanese, QString* reason = nullptr);

    // The CSV button: the dialog (starting in ResultFolder), then Write. 1 when a file was written, 0 when
    // cancelled or failed; a failed write is told through tell, with its reason.
    int OnCsv(const std::vector<Row>& rows, bool japanese, const QString& programDir, const QString& fallbackDir,
              const QDateTime& localTime = QDateTime::currentDateTime()) const;

    AskPath askPath;
    // Shows a message; the main window gives a message box.
    std::function<void(const QString&)> tell;

    // Told when the chosen file could not be written, and why.
    static QString NotSaved(bool japanese, const QString& reason);
};
