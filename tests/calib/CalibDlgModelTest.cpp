// The calibration dialog's values without widgets: result and frame texts, OK's checks and writes.
#include <gtest/gtest.h>

#include "calib/CalibDlgModel.h"
#include "platform/Language.h"

TEST(CalibDlgModel, ResultTextOfTheDefaults)
{
    CalibEntry e;
    CalibDlgModel model;
    model.open(&e);
    EXPECT_EQ(model.lengthX, "10");
    EXPECT_EQ(model.resultText(), "X = 0.050000, Y = 0.050000 [cm/pix]");
    model.lengthX = " 2.5 ";
    model.lengthY = "1e1";
    model.unit = UnitUm;
    EXPECT_EQ(model.resultText(), "X = 0.012500, Y = 0.050000 [um/pix]");
    // While a length is no finite number there is no text to show.
    for (const char* bad : { "", "abc", "1,5", "inf", "nan", "1e999" }) {
        model.lengthX = bad;
        EXPECT_FALSE(model.resultText()) << bad;
    }
}

TEST(CalibDlgModel, OkRefusesLengthsThatAreNoNumbers)
{
    CalibEntry e;
    e.mppX = 0.07;
    CalibDlgModel model;
    model.open(&e);
    model.name = "Lens A";
    model.lengthX = "abc";
    EXPECT_EQ(model.ok(), CalibDlgModel::OkResult::BadLengthX);
    model.lengthX = "20";
    model.lengthY = "1e400";
    EXPECT_EQ(model.ok(), CalibDlgModel::OkResult::BadLengthY);
    EXPECT_EQ(e.name, QString()); // untouched
    EXPECT_EQ(e.lengthX, 10.0);
    EXPECT_EQ(e.mppX, 0.07);

    model.lengthY = "5";
    model.unit = UnitMm;
    EXPECT_EQ(model.ok(), CalibDlgModel::OkResult::Done);
    EXPECT_EQ(e.name, "Lens A");
    EXPECT_EQ(e.lengthX, 20.0);
    EXPECT_EQ(e.unit, UnitMm);
    EXPECT_DOUBLE_EQ(e.mppX, 0.1);
    EXPECT_DOUBLE_EQ(e.mppY, 0.025);
}

TEST(CalibDlgModel, FrameWithoutExtentKeepsTheFactor)
{
    CalibEntry e;
    e.right = e.left; // no width, as a settings file may have it
    e.mppX = 0.03;
    CalibDlgModel model;
    model.open(&e);
    EXPECT_EQ(model.resultText(), "X = inf, Y = 0.050000 [cm/pix]");
    model.lengthY = "20";
    EXPECT_EQ(model.ok(), CalibDlgModel::OkResult::Done);
    EXPECT_EQ(e.mppX, 0.03);
    EXPECT_DOUBLE_EQ(e.mppY, 0.1);
}

TEST(CalibDlgModel, NameKeepsAtMost255Bytes)
{
    CalibEntry e;
    CalibDlgModel model;
    model.open(&e);
    model.name = QString(300, 'a');
    model.ok();
    EXPECT_EQ(e.name, QString(255, 'a'));
    // Three bytes a character: 85 fit, the 86th would need 258; a character is never cut.
    model.name = QString(100, QChar(0x6821));
    model.ok();
    EXPECT_EQ(e.name, QString(85, QChar(0x6821)));
    model.name = QString(254, 'a') + QString::fromUtf8("é"); // two bytes: 256 in all
    model.ok();
    EXPECT_EQ(e.name, QString(254, 'a'));
    EXPECT_EQ(CalibDlgModel::limitBytes(QString::fromUtf8("ab😀"), 5), "ab"); // four bytes, two UTF-16 units
    EXPECT_EQ(CalibDlgModel::limitBytes(QString::fromUtf8("ab😀"), 6), QString::fromUtf8("ab😀"));
}

TEST(CalibDlgModel, FrameTextShowsSizeAndDisagreement)
{
    g_bJapanese = 0;
    CalibEntry e;
    e.right = 200;
    e.bottom = 100;
    CalibDlgModel model;
    model.open(&e);
    // 10 / 200 = 0.05 and 10 / 100 = 0.1: 0.05 apart around a mean of 0.075.
    EXPECT_EQ(model.frameText(), "Frame 200.0 x 100.0 pix, X and Y differ by 66.7%");
    model.lengthY = "5";
    EXPECT_EQ(model.frameText(), "Frame 200.0 x 100.0 pix, X and Y differ by 0.0%");
    model.lengthY = "";
    EXPECT_EQ(model.frameText(), "Frame 200.0 x 100.0 pix");
    g_bJapanese = 1;
    model.lengthY = "5";
    EXPECT_EQ(model.frameText(), QString::fromUtf8("枠 200.0 × 100.0 ピクセル、XとYの差 0.0%"));
    g_bJapanese = 0;
}
