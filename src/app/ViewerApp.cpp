// Start of the viewer: the single-instance rule, the language, the modal main window.
#include "app/ViewerApp.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include "app/ViewerDlg.h"
#include "platform/Language.h"
#include "platform/SingleInstance.h"
#include "platform/StringTable.h"

int JapaneseFromLocale()
{
    return QLocale::system().language() == QLocale::Japanese ? 1 : 0;
}

QTranslator* InstallQtJapanese()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(translator))
        return translator;
    delete translator;
    return nullptr;
}

QString CameraOptionFromArguments(const QStringList& arguments)
{
    QString option;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == "--camera" && i + 1 < arguments.size())
            option = arguments[++i];
        else if (a.startsWith("--camera="))
            option = a.mid(int(qstrlen("--camera=")));
    }
    return option;
}

CViewerApp::CViewerApp(const QString& lockFolder)
    : showRefusal([](const QString& text) { QMessageBox::information(nullptr, QString(), text, QMessageBox::Ok); })
    , runMainWindow([this] {
        CViewerDlg dlg(nullptr, QString(), cameraOption);
        dlg.exec();
    })
    , m_LockFolder(lockFolder)
{
}
CViewerApp::~CViewerApp() = default;

bool CViewerApp::InitInstance()
{
    // The language is known before the refusal so that the message comes in the user's language.
    g_bJapanese = JapaneseFromLocale();
    if (g_bJapanese) // without Qt's translations its dialogs stay English, the rest is still Japanese
        InstallQtJapanese();
    m_Instance = std::make_unique<SingleInstance>("NX-QB740LE", m_LockFolder);
    if (!m_Instance->tryAcquire()) {
        showRefusal(LoadString(1011));
        return false;
    }
    runMainWindow();
    return false;
}
