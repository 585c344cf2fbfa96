// CSV export: the exact bytes in both languages, appending, the file that cannot be opened, the dialog's
// texts, and a real CSV reader taking the Japanese file back.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "measure/CsvExport.h"
#include "measure/ResultsReport.h"
#include "measure/MeasureList.h"
#include "measure/MeasureResults.h"

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray kEnglishHeader = "No.,Type,Result,Unit\r\n";
// "No.,計測内容,測定値,単位" in CP932.
const QByteArray kJapaneseHeader = QByteArray::fromHex("4e6f2e2c"
                                                       "8c7691aa93e09765"
                                                       "2c"
                                                       "91aa92e8926c"
                                                       "2c"
                                                       "925088ca"
                                                       "0d0a");

}  // namespace

TEST(CsvExport, HeaderAndRowBytesInBothLanguages)
{
    const std::vector<CsvExport::Row> rows = {{"1", "Length", "12.35", "mm"}};
    EXPECT_EQ(CsvExport::Format(rows, false), kEnglishHeader + "1,Length,12.35,mm\r\n");

    // Japanese: the header and the type texts in CP932 ("二点間距離"; the degree sign is the half-width
    // katakana prolonged sound mark, one byte B0).
    const std::vector<CsvExport::Row> ja = {{"0", "二点間距離", "1.000", "mm"}, {"1", "角度", "45.0", "ｰ"}};
    EXPECT_EQ(CsvExport::Format(ja, true), kJapaneseHeader + "0," + QByteArray::fromHex("93f1935f8ad48b9797a3") +
                                               ",1.000,mm\r\n1," + QByteArray::fromHex("8a709378") + ",45.0," +
                                               QByteArray::fromHex("b0") + "\r\n");

    // Cells are written as they stand: a comma makes more fields, an empty cell an empty field, and
    // English files hold ASCII only, one '?' for each character outside it (a pair of UTF-16 halves is
    // one character, a half alone is one too).
    const QChar high(0xD83D), low(0xDE00);
    const struct {
        QString unit;
        QByteArray written;
    } english[] = {
        {"µm", "?m"},
        {QString("a") + high + low + "b", "a?b"},
        {QString("a") + low + "b", "a?b"},
        {QString(low) + low, "??"},
        {QString("a") + high + "b", "a?b"},
        {QString(high) + high + low, "??"},
        {QString("a") + high, "a?"},
    };
    for (const auto& c : english)
        EXPECT_EQ(CsvExport::Format({{"2", "a,b", "", c.unit}}, false), kEnglishHeader + "2,a,b,," + c.written + "\r\n")
            << c.written.constData();
}

TEST(CsvExport, AppendsWithAHeaderEachTime_EmptyListGivesTheHeader)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.csv");
    ASSERT_EQ(CsvExport::Write(path, {}, false), 1);
    EXPECT_EQ(readAll(path), kEnglishHeader);

    ASSERT_EQ(CsvExport::Write(path, {{"0", "Length", "1.00", "cm"}}, false), 1);
    ASSERT_EQ(CsvExport::Write(path, {{"0", "Angle", "30.0", "degree"}}, false), 1);
    EXPECT_EQ(readAll(path), kEnglishHeader + kEnglishHeader + "0,Length,1.00,cm\r\n" + kEnglishHeader +
                                 "0,Angle,30.0,degree\r\n");
}

TEST(CsvExport, LongLinesAreNeverCut)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.csv");
    const QString longText(3000, QChar('x'));
    ASSERT_EQ(CsvExport::Write(path, {{"0", longText, "1.00", "cm"}, {"1", "Length", "2.00", "cm"}}, false), 1);
    EXPECT_EQ(readAll(path), kEnglishHeader + "0," + longText.toLatin1() + ",1.00,cm\r\n1,Length,2.00,cm\r\n");
}

TEST(CsvExport, UnopenableTargetWritesNothing)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("no/such/folder/out.csv");
    EXPECT_EQ(CsvExport::Write(missing, {{"0", "Length", "1.00", "cm"}}, false), 0);
    EXPECT_FALSE(QFile::exists(missing));
    // A folder where the file should be.
    EXPECT_EQ(CsvExport::Write(dir.path(), {}, false), 0);
    EXPECT_EQ(CsvExport::Write(QString(), {}, false), 0);
}

TEST(CsvExport, DialogProposesATimeStampedFileInResultBesideTheProgram)
{
    const QDateTime at(QDate(2024, 3, 5), QTime(7, 8, 9));
    EXPECT_EQ(CsvExport::ProposedName(at), "20240305070809.csv");

    const CsvSaveDialog en = CsvExport::DialogFor(false, "/opt/nx/result", at);
    EXPECT_EQ(en.title, "Save as");
    EXPECT_EQ(en.filter, "CSV File(*.csv);;All File(*.*)");
    EXPECT_EQ(en.defaultSuffix, "csv");
    EXPECT_EQ(en.initialPath, "/opt/nx/result/20240305070809.csv");
    const CsvSaveDialog ja = CsvExport::DialogFor(true, "/opt/nx/result", at);
    EXPECT_EQ(ja.title, "保存先指定");
    EXPECT_EQ(ja.filter, "CSVファイル(*.csv);;全てのファイル(*.*)");

    // The CSV button: cancel writes nothing; the proposed path is written as it stands on the first export
    // (its "result" folder made), in the interface's language.
    QTemporaryDir dir;
    const QString saveFolder = dir.filePath("pictures");
    CsvExport csv;
    CsvSaveDialog asked;
    QStringList told;
    csv.tell = [&](const QString& text) { told << text; };
    csv.askPath = [&](const CsvSaveDialog& d) {
        asked = d;
        return QString();
    };
    EXPECT_EQ(csv.OnCsv({{"0", "Length", "1.00", "cm"}}, true, dir.path(), saveFolder, at), 0);
    EXPECT_EQ(asked.title, "保存先指定");
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    csv.askPath = [&](const CsvSaveDialog& d) { return d.initialPath; };
    EXPECT_EQ(csv.OnCsv({}, true, dir.path(), saveFolder, at), 1);
    EXPECT_EQ(readAll(dir.filePath("result/20240305070809.csv")), kJapaneseHeader);

    // A program folder where "result" cannot be made: the save folder is proposed instead.
    const QString blocked = dir.filePath("blocked");
    QDir().mkpath(blocked);
    ASSERT_TRUE(QFile(blocked + "/result").open(QIODevice::WriteOnly)); // a file takes the folder's name
    EXPECT_EQ(CsvExport::ResultFolder(blocked, saveFolder), saveFolder);

    // A path that cannot be written is told with the reason, not passed over in silence.
    csv.askPath = [&](const CsvSaveDialog&) { return dir.filePath("no-such-folder/chosen.csv"); };
    EXPECT_EQ(csv.OnCsv({}, false, dir.path(), saveFolder, at), 0);
    EXPECT_EQ(told, QStringList { "The results were not saved: No such file or directory" });
}

TEST(CsvExport, JapaneseFileReadBackByPythonsCsvModule)
{
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        GTEST_SKIP() << "python3 is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath("ja.csv");
    ASSERT_EQ(CsvExport::Write(path, {{"0", "二点間距離", "12.345", "mm"}, {"1", "角度", "90.0", "ｰ"}}, true), 1);
    ASSERT_EQ(CsvExport::Write(path, {{"0", "円直径", "1.50", "um"}}, true), 1);

    QProcess run;
    run.start(python, {"-c",
                       "import csv, sys\n"
                       "with open(sys.argv[1], encoding='cp932', newline='') as f:\n"
                       "    for row in csv.reader(f):\n"
                       "        sys.stdout.buffer.write(('|'.join(row) + '\\n').encode('utf-8'))\n",
                       path});
    ASSERT_TRUE(run.waitForFinished(30000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(run.readAllStandardOutput()), "No.|計測内容|測定値|単位\n"
                                                              "0|二点間距離|12.345|mm\n"
                                                              "1|角度|90.0|ｰ\n"
                                                              "No.|計測内容|測定値|単位\n"
                                                              "0|円直径|1.50|um\n");
}

TEST(ResultsReport, CsvBytesAndAPdfThatReadsBack)
{
    MeasureList items;
    MeasureItem line;
    line.reset(ToolLine);
    line.addPoint({ 0.0, 0.0 });
    line.addPoint({ 30.0, 40.0 });
    finishItem(line, CalibEntry {}, nullptr); // 50 px at the default 0.05 cm per pixel: 2.50 cm
    line.tolerance = Tolerance { 2.5, 0.01, 0.01 };
    items.append(line);
    line.tolerance = Tolerance { 3.0, 0.1, 0.1 };
    items.append(line);
    line.tolerance.reset();
    items.append(line);
    CalibEntry calib;
    calib.name = "Bench, left";
    const QDateTime date(QDate(2026, 12, 7), QTime(10, 30));
    const ReportHeader header { date, "part.png", calib.name, calib.unit, calib.mppX, calib.mppY };
    EXPECT_EQ(ReportCsv(header, ReportRows(items, false), false),
        "\xEF\xBB\xBF"
        "Date,2026-12-07 10:30:00\r\nPicture,part.png\r\nCalibration,\"Bench, left\"\r\nUnit,cm\r\n"
        "Units per pixel,0.05,0.05\r\n\r\n"
        "No.,Type,Result,Unit,Nominal,Upper,Lower,Verdict\r\n"
        "0,Length,2.50,cm,2.5,0.01,0.01,OK\r\n1,Length,2.50,cm,3,0.1,0.1,NG\r\n2,Length,2.50,cm,,,,\r\n");
    EXPECT_TRUE(QString::fromUtf8(ReportCsv(header, ReportRows(items, true), true)).contains("不合格"));

    QTemporaryDir dir;
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    ASSERT_TRUE(WriteResultsReport(dir.filePath("report"), items, calib, picture, "/pictures/part.png", date, false));
    EXPECT_EQ(readAll(dir.filePath("report.csv")), ReportCsv(header, ReportRows(items, false), false));
    EXPECT_TRUE(readAll(dir.filePath("report.pdf")).startsWith("%PDF-"));
    // A folder that is not there: reported, nothing claimed written.
    QString reason;
    EXPECT_FALSE(WriteResultsReport(dir.filePath("none/report"), items, calib, picture, "", date, false, &reason));
    EXPECT_EQ(reason, "report.csv");

    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QProcess run;
    run.start(pdftotext, { dir.filePath("report.pdf"), "-" });
    ASSERT_TRUE(run.waitForFinished(30000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    const QString text = QString::fromUtf8(run.readAllStandardOutput());
    for (const char* word : { "Inspection report", "Bench, left", "part.png", "OK", "NG", "2026-12-07" })
        EXPECT_TRUE(text.contains(word)) << word << " in " << text.toStdString();
}
