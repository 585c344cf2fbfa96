// CViewerApp: admits one running copy, picks the language and runs the main window.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QTranslator;
class SingleInstance;

class CViewerApp {
public:
    // The lock folder is the user's runtime folder unless given (tests).
    explicit CViewerApp(const QString& lockFolder = QString());
    ~CViewerApp();

    // Runs the viewer; returns false in every case, as the process ends with the main window.
    bool InitInstance();

    // Shows the refusal of a second copy (a message box); tests replace it.
    std::function<void(const QString&)> showRefusal;
    // Runs the main window modally; tests replace it.
    std::function<void()> runMainWindow;
    // The command line's choice of camera for the main window (see CameraOptionFromArguments).
    QString cameraOption;

private:
    QString m_LockFolder;
    std::unique_ptr<SingleInstance> m_Instance; // held until the application object ends
};

// The language flag from the system locale: 1 for Japanese.
int JapaneseFromLocale();
// Qt's own Japanese texts (the buttons of message boxes and button boxes, the file and folder choosers),
// installed on the application, which owns them; null when Qt's translations are not on the machine.
QTranslator* InstallQtJapanese();
// The value of "--camera own|/dev/videoN" (or "--camera=...") among the program's arguments; empty when absent.
QString CameraOptionFromArguments(const QStringList& arguments);
