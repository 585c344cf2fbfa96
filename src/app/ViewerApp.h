// CViewerApp: admits one running copy, picks the language and runs the main window.
#pragma once

#include <QString>

#include <memory>

class SingleInstance;

class CViewerApp {
public:
    // The lock folder is the user's runtime folder unless given (tests).
    explicit CViewerApp(const QString& lockFolder = QString());
    ~CViewerApp();

    // Runs the viewer; returns false in every case, as the process ends with the main window.
    bool InitInstance();

private:
    QString m_LockFolder;
    std::unique_ptr<SingleInstance> m_Instance;  // held until the application object ends
};

// The language flag from the system locale: 1 for Japanese.
int JapaneseFromLocale();
