// The Camera Setting dialog on the offscreen platform: its controls in both languages, OK and CANCEL, and
// Save and Load through answered file dialogs.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "dialogs/ui/CCameraSetDlg.h"
#include "platform/Language.h"

namespace {

class CameraSetDlgTest : public ::testing::Test {
protected:
    void TearDown() override { g_bJapanese = 0; }

    static QSpinBox* edit(const CCameraSetDlg& dlg, int id) { return static_cast<QSpinBox*>(dlg.control(id)); }
    static QComboBox* clock(const CCameraSetDlg& dlg)
    {
        return static_cast<QComboBox*>(dlg.control(CCameraSetDlg::IDC_CLOCK));
    }
    static QPushButton* button(const CCameraSetDlg& dlg, int id) { return static_cast<QPushButton*>(dlg.control(id)); }
    // Types text into an edit as the keyboard would (the edit keeps what its validator lets through).
    static void type(QSpinBox* box, const QString& text)
    {
        QLineEdit* line = box->findChild<QLineEdit*>();
        line->selectAll();
        for (const QChar c : text)
            line->insert(QString(c));
    }
    static QStringList labels(const CCameraSetDlg& dlg)
    {
        QStringList texts;
        for (const QLabel* l : dlg.findChildren<QLabel*>())
            texts << l->text();
        return texts;
    }

    // The file dialogs record what they are asked with and answer with answer (empty: cancelled).
    void answerFiles(CCameraSetDlg& dlg)
    {
        dlg.askFile = [this](const TimingFileQuestion& q) {
            asked.push_back(q);
            return answer;
        };
    }

    CameraSetValues values { 2048, 1536, 640, 480, 704, 528, 3, 10, 1 };
    std::vector<TimingFileQuestion> asked;
    QString answer;
    QTemporaryDir dir;
};

} // namespace

TEST_F(CameraSetDlgTest, Init_ShowsTheValuesInBothLanguages)
{
    CCameraSetDlg dlg(values, nullptr);
    EXPECT_EQ(dlg.windowTitle(), "Camera Setting");
    EXPECT_EQ(labels(dlg),
        QStringList({ "H Total", "V Total", "H Effective", "V Effective", "H Start", "V Start", "Timer", "Buffer Size",
            "Clock" }));
    const int ids[] = { 1145, 1146, 1147, 1148, 1149, 1150, 1143, 1144 };
    const int expected[] = { 2048, 1536, 640, 480, 704, 528, 3, 10 };
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(edit(dlg, ids[i])->value(), expected[i]) << ids[i];
        EXPECT_EQ(edit(dlg, ids[i])->isEnabled(), i >= 2) << ids[i];
    }
    EXPECT_EQ(clock(dlg)->count(), 2);
    EXPECT_EQ(clock(dlg)->itemText(0), "normal");
    EXPECT_EQ(clock(dlg)->itemText(1), "half");
    EXPECT_EQ(clock(dlg)->currentIndex(), 1);
    EXPECT_EQ(button(dlg, 1)->text(), "OK");
    EXPECT_EQ(button(dlg, 2)->text(), "CANCEL");
    EXPECT_EQ(button(dlg, 1087)->text(), "Save");
    EXPECT_EQ(button(dlg, 1088)->text(), "Load");

    g_bJapanese = 1;
    CCameraSetDlg ja(values, nullptr);
    EXPECT_EQ(ja.windowTitle(), "カメラ設定");
    EXPECT_EQ(labels(ja),
        QStringList({ "総水平画素", "総垂直画素", "有効水平画素", "有効垂直画素", "有効水平起点", "有効垂直起点",
            "タイマー", "バッファサイズ", "動作クロック" }));
    EXPECT_EQ(clock(ja)->itemText(0), "標準");
    EXPECT_EQ(clock(ja)->itemText(1), "ハーフ");
    EXPECT_EQ(button(ja, 1)->text(), "反映");
    EXPECT_EQ(button(ja, 2)->text(), "ｷｬﾝｾﾙ");
    EXPECT_EQ(button(ja, 1087)->text(), "保存");
    EXPECT_EQ(button(ja, 1088)->text(), "読み込み");
}

TEST_F(CameraSetDlgTest, TypedDigitsOnly_OkTakesThemCancelDoesNot)
{
    CCameraSetDlg dlg(values, nullptr);
    type(edit(dlg, 1147), "-12"); // no sign gets in
    EXPECT_EQ(edit(dlg, 1147)->findChild<QLineEdit*>()->text(), "12");
    type(edit(dlg, 1148), "4x8");
    type(edit(dlg, 1143), "250");
    type(edit(dlg, 1147), "99999"); // more than the sensor is wide: not accepted as typed
    EXPECT_LE(edit(dlg, 1147)->value(), 2048);
    type(edit(dlg, 1147), "1024");
    clock(dlg)->setCurrentIndex(0);
    button(dlg, CCameraSetDlg::IDCANCEL)->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.values(), values);

    CCameraSetDlg ok(values, nullptr);
    type(edit(ok, 1147), "1024");
    type(edit(ok, 1150), "100");
    type(edit(ok, 1144), "7");
    clock(ok)->setCurrentIndex(0);
    button(ok, CCameraSetDlg::IDOK)->click();
    EXPECT_EQ(ok.result(), QDialog::Accepted);
    EXPECT_EQ(ok.values(), (CameraSetValues { 2048, 1536, 1024, 480, 704, 100, 3, 7, 0 }));
}

TEST_F(CameraSetDlgTest, StoredClockTheListDoesNotOffer_SurvivesOk)
{
    values.Clock = 5;
    CCameraSetDlg dlg(values, nullptr);
    EXPECT_EQ(clock(dlg)->currentIndex(), -1);
    button(dlg, CCameraSetDlg::IDOK)->click();
    EXPECT_EQ(dlg.values().Clock, 5);
}

TEST_F(CameraSetDlgTest, SaveWritesWhatIsTyped_CancelledFileDialogDoesNothing)
{
    CCameraSetDlg dlg(values, nullptr);
    answerFiles(dlg);
    type(edit(dlg, 1147), "800");
    button(dlg, CCameraSetDlg::IDC_SAVE)->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].save);
    EXPECT_EQ(asked[0].title, "Save Setting");
    EXPECT_EQ(asked[0].filter, "Ini File(*.ini)");
    EXPECT_EQ(asked[0].defaultSuffix, "ini");
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_EQ(dlg.values(), values); // cancelled: the typed value is not taken either

    answer = dir.filePath("timing.ini");
    button(dlg, CCameraSetDlg::IDC_SAVE)->click();
    QFile f(answer);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[NX-QB740LE]\nTH=2048\nTV=1536\nEH=800\nEV=480\nEHS=704\nEVS=528\n"));
    EXPECT_EQ(dlg.values().EH, 800);

    // A file that cannot be written is told; a written one is not.
    QStringList told;
    dlg.tell = [&](const QString& text) { told << text; };
    button(dlg, CCameraSetDlg::IDC_SAVE)->click();
    EXPECT_TRUE(told.isEmpty());
    answer = dir.filePath("no-such-folder/timing.ini");
    button(dlg, CCameraSetDlg::IDC_SAVE)->click();
    EXPECT_EQ(told, QStringList { "The timing file was not saved." });

    g_bJapanese = 1;
    EXPECT_EQ(CCameraSetDlg::question(true).title, "設定保存");
    EXPECT_EQ(CCameraSetDlg::question(false).title, "設定読み込み");
    EXPECT_EQ(CCameraSetDlg::question(false).filter, "設定ファイル(*.ini)");
}

TEST_F(CameraSetDlgTest, LoadShowsTheFileOverTheHeldValues_CancelAfterwardsKeepsNothing)
{
    const QString path = dir.filePath("model.ini");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[NX-BOYZK]\nEH=640\nEV=240\n[NX-LDHNZE]\nEH=1280\n");
    f.close();

    CCameraSetDlg dlg(values, nullptr);
    answerFiles(dlg);
    type(edit(dlg, 1149), "32"); // typed, not taken: Load starts from the held values
    button(dlg, CCameraSetDlg::IDC_LOAD)->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(asked[0].save);
    EXPECT_EQ(asked[0].title, "Load Setting");
    EXPECT_EQ(asked[0].filter, "Ini File(*.ini)");
    EXPECT_EQ(asked[0].defaultSuffix, "ini");
    EXPECT_EQ(edit(dlg, 1149)->value(), 32); // cancelled: nothing touched

    answer = path;
    button(dlg, CCameraSetDlg::IDC_LOAD)->click();
    EXPECT_EQ(edit(dlg, 1147)->value(), 1280);
    EXPECT_EQ(edit(dlg, 1148)->value(), 240);
    EXPECT_EQ(edit(dlg, 1149)->value(), 704);
    button(dlg, CCameraSetDlg::IDCANCEL)->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}
