// Inspection in the main window: tolerances edited in the results list (a double click on a result), and the
// list's right-click menu: the inspection report (CSV and PDF of the picture with its drawing, the results with
// nominal, limits and verdict), and recipes, saved from the measurements and applied to the next picture.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTableView>

#include <cstring>

#include "app/ViewerDlgPrivate.h"
#include "measure/CsvExport.h"
#include "measure/ResultsReport.h"
#include "measure/MeasureResults.h"
#include "measure/Recipe.h"
#include "measure/ui/ResultsTable.h"
#include "platform/AtomicFile.h"
#include "platform/Language.h"
#include "ui/DialogForm.h"

namespace {

// Menu ids of the results list's menu.
constexpr int kMenuReport = 1;
constexpr int kMenuSaveRecipe = 2;
constexpr int kMenuApplyRecipe = 3;

// Recipes larger than this are no recipe of ours.
constexpr qint64 kMaxRecipeBytes = 16 * 1024 * 1024;

// The text in the language of the user interface.
constexpr auto text = &DialogForm::text;

// A path dialog's request: title, filter, suffix, and a time-stamped name in folder.
CsvSaveDialog pathRequest(const QString& title, const QString& filter, const QString& suffix, const QString& folder)
{
    CsvSaveDialog d;
    d.title = title;
    d.filter = filter;
    d.defaultSuffix = suffix;
    d.initialPath = QDir(folder).filePath(QDateTime::currentDateTime().toString("yyyyMMddhhmmss") + "." + suffix);
    return d;
}

} // namespace

void CViewerDlg::Private::createInspection()
{
    // Asked through the prompts at each double click, so that tests can answer.
    resultsTable().EditTolerances(m_Measure, [this] { updateViewArea(); },
        [this](const MeasureItem& item, double value, const QString& unit) {
            return m_Prompts.askTolerance(item, value, unit);
        });
    m_Results->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_Results, &QWidget::customContextMenuRequested, q, [this] { OnResultsMenu(); });
}

void CViewerDlg::Private::OnResultsMenu()
{
    QMenu menu(q);
    menu.addAction(text("Inspection report...", "検査レポート..."))->setData(kMenuReport);
    menu.addSeparator();
    menu.addAction(text("Save recipe...", "レシピを保存..."))->setData(kMenuSaveRecipe);
    menu.addAction(text("Apply recipe...", "レシピを適用..."))->setData(kMenuApplyRecipe);
    switch (m_Prompts.files.runMenu(menu, QCursor::pos())) {
    case kMenuReport:
        OnReport();
        break;
    case kMenuSaveRecipe:
        OnSaveRecipe();
        break;
    case kMenuApplyRecipe:
        OnApplyRecipe();
        break;
    default:
        break;
    }
}

QImage CViewerDlg::Private::pictureWithDrawing()
{
    DibImage picture, colour;
    if (!m_Live.takePicture(picture) || !CopyTo24(picture, colour))
        return {};
    drawOverlayForSave(colour);
    QImage image(colour.width(), colour.height(), QImage::Format_BGR888);
    for (int y = 0; y < colour.height(); ++y)
        std::memcpy(image.scanLine(y), colour.rowTopDown(y), size_t(colour.width()) * 3);
    return image;
}

void CViewerDlg::Private::OnReport()
{
    const QString path = m_Prompts.askPath(pathRequest(text("Inspection report", "検査レポート"),
                                               text("PDF and CSV (*.pdf)", "PDF と CSV (*.pdf)"), "pdf",
                                               m_Thumbnails.saveFolder()),
        true);
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    const QString base = info.suffix().compare("pdf", Qt::CaseInsensitive) == 0
        ? info.dir().filePath(info.completeBaseName())
        : path;
    QString reason;
    const QString pictureName = m_ShownFile.isEmpty() ? text("live picture", "ライブ映像") : m_ShownFile;
    if (!WriteResultsReport(base, m_Measure.items(), m_Measure.selectedCalib(), pictureWithDrawing(), pictureName,
            QDateTime::currentDateTime(), g_bJapanese != 0, &reason)) {
        m_Prompts.files.tell(text("The report could not be written: %1", "レポートを書き込めませんでした：%1").arg(reason));
        return;
    }
    m_Measure.markExported();
}

void CViewerDlg::Private::OnSaveRecipe()
{
    const QString path = m_Prompts.askPath(pathRequest(text("Save recipe", "レシピを保存"),
                                               text("Recipe (*.recipe)", "レシピ (*.recipe)"), "recipe",
                                               m_Thumbnails.saveFolder()),
        true);
    if (path.isEmpty())
        return;
    const QByteArray bytes = WriteRecipe(m_Measure.items());
    if (!WriteFileAtomically(path, bytes.constData(), bytes.size()))
        m_Prompts.files.tell(text("The recipe could not be written.", "レシピを書き込めませんでした。"));
}

void CViewerDlg::Private::OnApplyRecipe()
{
    const QString path = m_Prompts.askPath(pathRequest(text("Apply recipe", "レシピを適用"),
                                               text("Recipe (*.recipe)", "レシピ (*.recipe)"), "recipe",
                                               m_Thumbnails.saveFolder()),
        false);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() > kMaxRecipeBytes || !file.open(QIODevice::ReadOnly)) {
        m_Prompts.files.tell(text("The recipe could not be read.", "レシピを読めませんでした。"));
        return;
    }
    QStringList ignored;
    const std::optional<std::vector<MeasureItem>> items = ReadRecipe(file.readAll(), ignored);
    if (!items) {
        m_Prompts.files.tell(text("This is no recipe.", "レシピではありません。"));
        return;
    }
    // Read under the frame lock: the items are measured on the picture as it is now.
    // Edge tools search again around their stored places, so a part that moved a little still measures.
    m_Live.withFrame([&](LiveFrames& f) {
        ApplyRecipe(m_Measure, *items, &f.picture, [&f](MeasureItem& item) { RelocateEdgeItem(item, f.picture); });
    });
    updateViewArea();
    if (!ignored.isEmpty())
        m_Prompts.files.tell(text("Parts of the recipe were left out: %1", "レシピの一部を読み飛ばしました：%1")
                                 .arg(ignored.join(", ")));
}
