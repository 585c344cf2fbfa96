#include "files/ui/FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>

#include <algorithm>

#include "files/FileTexts.h"

void ConfigureSaveDialog(QFileDialog& dialog, const SaveFileRequest& request)
{
    dialog.setWindowTitle(request.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setNameFilters(request.filters);
    if (request.filterIndex >= 1 && request.filterIndex <= request.filters.size())
        dialog.selectNameFilter(request.filters[request.filterIndex - 1]);
    dialog.setDefaultSuffix(request.defaultSuffix);
    // A name typed without extension gets the extension of the filter chosen last (Qt itself changes the
    // extension of the name shown when the filter changes).
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const qsizetype star = filter.indexOf(QLatin1String("*."));
        if (star >= 0)
            dialog.setDefaultSuffix(filter.mid(star + 2).section(QRegularExpression(QStringLiteral("[ )]")), 0, 0));
    });
    const QFileInfo initial(request.initialPath);
    dialog.setDirectory(initial.path());
    dialog.selectFile(initial.fileName());
}

QMenu* MakeThumbnailMenu(QWidget* parent, bool japanese)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("146"));
    for (const FileTexts::MenuItem& item : FileTexts::ThumbnailMenu(japanese)) {
        QAction* action = menu->addAction(item.text);
        action->setData(item.id);
        action->setObjectName(QString::number(item.id));
    }
    return menu;
}

int RunMenu(QMenu& menu, QPoint screenPosition)
{
    const QAction* chosen = menu.exec(screenPosition);
    return chosen ? chosen->data().toInt() : 0;
}

bool AskYesNo(QWidget* parent, const QString& question)
{
    return QMessageBox::question(parent, QString(), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

FileDialogs::FileDialogs(QWidget* owner)
    : askSaveFile([owner](const SaveFileRequest& request) {
        QFileDialog dialog(owner);
        ConfigureSaveDialog(dialog, request);
        SaveFileAnswer answer;
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return answer;
        answer.path = dialog.selectedFiles().constFirst();
        answer.filterIndex = std::max(1, int(request.filters.indexOf(dialog.selectedNameFilter())) + 1);
        return answer;
    })
    , askFolder([owner](const QString& title, const QString& initialFolder) {
        return QFileDialog::getExistingDirectory(owner, title, initialFolder, QFileDialog::ShowDirsOnly);
    })
    , tell([owner](const QString& text) { QMessageBox::warning(owner, QString(), text); })
    , runMenu(&RunMenu)
    , confirm([owner](const QString& question) { return AskYesNo(owner, question); })
{
}
