// The CSV file of results and the save dialog's texts.
#include "measure/CsvExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/CodePage.h"

namespace {

const char* const kHeaderEnglish = "No.,Type,Result,Unit";
const char* const kHeaderJapanese = "No.,計測内容,測定値,単位";

}  // namespace

QString CsvExport::ProposedName(const QDateTime& localTime)
{
    const QDate d = localTime.date();
    const QTime t = localTime.time();
    return QString::asprintf("%4d%02d%02d%02d%02d%02d.csv", d.year(), d.month(), d.day(), t.hour(), t.minute(),
                             t.second());
}

CsvSaveDialog CsvExport::DialogFor(bool japanese, const QString& folder, const QDateTime& localTime)
{
    CsvSaveDialog dialog;
    dialog.title = japanese ? QStringLiteral("保存先指定") : QStringLiteral("Save as");
    dialog.filter = japanese ? QStringLiteral("CSVファイル(*.csv);;全てのファイル(*.*)")
                             : QStringLiteral("CSV File(*.csv);;All File(*.*)");
    dialog.defaultSuffix = QStringLiteral("csv");
    dialog.initialPath = QDir(folder).filePath(ProposedName(localTime));
    return dialog;
}

QString CsvExport::ResultFolder(const QString& programDir, const QString& fallback)
{
    // A proposal in a folder that does not exist fails when the user just presses Save.
    const QString result = QDir(programDir).filePath(QStringLiteral("result"));
    return QDir().mkpath(result) && QFileInfo(result).isWritable() ? result : fallback;
}

QByteArray CsvExport::Format(const std::vector<Row>& rows, bool japanese)
{
    const auto encode = [japanese](const QString& line) {
        return (japanese ? EncodeCp932(line) : EncodeAscii(line)) + QByteArrayLiteral("\r\n");
    };
    // Lines have no length limit: a cut line would lose its CR LF and run into the next one.
    QByteArray bytes = encode(QString::fromUtf8(japanese ? kHeaderJapanese : kHeaderEnglish));
    for (const Row& row : rows)
        bytes += encode(row[0] + u',' + row[1] + u',' + row[2] + u',' + row[3]);
    return bytes;
}

int CsvExport::Write(const QString& path, const std::vector<Row>& rows, bool japanese, QString* reason)
{
    // Unbuffered, so the whole export goes to the file in a single write at its end (opened for appending):
    // the bytes already there are never touched.
    QFile file(path);
    const bool existed = QFileInfo::exists(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        if (reason)
            *reason = path.isEmpty() ? QStringLiteral("No file name") : file.errorString();
        return 0;
    }
    const qint64 oldSize = file.size();
    const QByteArray bytes = Format(rows, japanese);
    if (file.write(bytes) == bytes.size())
        return 1;
    // A full disk or the size limit took part of it: cut the file back to what it held, so no broken line
    // stays at its end for the next export to run into.
    if (reason)
        *reason = file.errorString();
    if (existed) {
        file.resize(oldSize);
    } else {
        file.close();
        QFile::remove(path);
    }
    return 0;
}

int CsvExport::OnCsv(const std::vector<Row>& rows, bool japanese, const QString& programDir,
                     const QString& fallbackDir, const QDateTime& localTime) const
{
    if (!askPath)
        return 0;
    const QString path = askPath(DialogFor(japanese, ResultFolder(programDir, fallbackDir), localTime));
    if (path.isEmpty())
        return 0;
    QString reason;
    if (Write(path, rows, japanese, &reason))
        return 1;
    if (tell)
        tell(NotSaved(japanese, reason));
    return 0;
}

QString CsvExport::NotSaved(bool japanese, const QString& reason)
{
    return japanese ? QString::fromUtf8("結果を保存できませんでした。\n%1").arg(reason)
                    : QStringLiteral("The results were not saved: %1").arg(reason);
}
