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
    QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    const struct {
        QAbstractButton* button;
        const char* japanese;
    } cases[] = {
        { buttons.button(QDialogButtonBox::Yes), "はい(&Y)" },
        { buttons.button(QDialogButtonBox::No), "いいえ(&N)" },
        { buttons.button(QDialogButtonBox::Cancel), "キャンセル" },
        { box.button(QMessageBox::Yes), "はい(&Y)" },
        { box.button(QMessageBox::No), "いいえ(&N)" },
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.button, nullptr);
        EXPECT_EQ(c.button->text(), QString::fromUtf8(c.japanese));
    }
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(QDialogButtonBox(QDialogButtonBox::Yes).button(QDialogButtonBox::Yes)->text(), "&Yes");
}
