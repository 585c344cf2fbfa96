// Start-up of the application: one running copy, the refusal message in the user's language, Qt's own
// dialogs in Japanese.
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>

#include <gtest/gtest.h>

#include "app/ViewerApp.h"
#include "platform/Language.h"

TEST(ViewerApp, SecondCopy_ShowsOnlyTheRefusal)
{
    QTemporaryDir dir;
    int windows = 0;
    QStringList messages;
    CViewerApp first(dir.path());
    first.runMainWindow = [&] {
        ++windows;
        // While the first copy runs, a second one is refused and runs no window of its own.
        CViewerApp second(dir.path());
        second.showRefusal = [&](const QString& text) { messages << text; };
        second.runMainWindow = [&] { ++windows; };
        EXPECT_FALSE(second.InitInstance());
    };
    first.showRefusal = [&](const QString& text) { messages << text; };
    EXPECT_FALSE(first.InitInstance()); // false in every case: the process ends with the window
    EXPECT_EQ(windows, 1);
    ASSERT_EQ(messages.size(), 1);
    const QString expected = g_bJapanese ? QString::fromUtf8("既に同系列のソフトが起動しているため起動できません")
                                         : QString("It has already startup");
    EXPECT_EQ(messages.front(), expected);
    g_bJapanese = 0;
}

TEST(ViewerApp, QtsOwnDialogsSpeakJapanese)
{
    QTranslator* translator = InstallQtJapanese();
    ASSERT_NE(translator, nullptr) << "Qt's Japanese translations (qt6-translations-l10n) are missing";
    const QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::Cancel);
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::No);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Yes)->text(), QString::fromUtf8("はい(&Y)"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("キャンセル"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QString::fromUtf8("いいえ(&N)"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(QDialogButtonBox(QDialogButtonBox::Yes).button(QDialogButtonBox::Yes)->text(), "&Yes");
}
