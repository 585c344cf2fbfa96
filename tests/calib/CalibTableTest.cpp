// The calibration table: defaults in both languages, recomputed factors, the seek by index.
#include <gtest/gtest.h>

#include <cmath>

#include "calib/CalibTable.h"
#include "platform/Language.h"

namespace {

// Sets the language for one test and puts the previous one back.
class LanguageScope {
public:
    explicit LanguageScope(int japanese) : m_Saved(g_bJapanese) { g_bJapanese = japanese; }
    ~LanguageScope() { g_bJapanese = m_Saved; }

private:
    int m_Saved;
};

}  // namespace

TEST(CalibTable, Defaults_TenEntriesOf10cmOver200Pixels)
{
    LanguageScope english(0);
    CalibTable table;
    ASSERT_EQ(table.count(), 10);
    for (int i = 0; i < 10; ++i) {
        const CalibEntry& e = table[i];
        EXPECT_EQ(e.position, i);
        EXPECT_EQ(e.name, QString("Data%1").arg(i + 1));
        EXPECT_EQ(e.lengthX, 10.0);
        EXPECT_EQ(e.lengthY, 10.0);
        EXPECT_EQ(e.unit, UnitCm);
        EXPECT_EQ(e.left, 0.0);
        EXPECT_EQ(e.top, 0.0);
        EXPECT_EQ(e.right, 200.0);
        EXPECT_EQ(e.bottom, 200.0);
        EXPECT_EQ(e.dragMode, 0);
        EXPECT_DOUBLE_EQ(e.mppX, 0.05);
        EXPECT_DOUBLE_EQ(e.mppY, 0.05);
    }
}

TEST(CalibTable, Defaults_JapaneseNames)
{
    LanguageScope japanese(1);
    CalibTable table;
    EXPECT_EQ(table[0].name, QString::fromUtf8("校正値1"));
    EXPECT_EQ(table[9].name, QString::fromUtf8("校正値10"));
}

TEST(CalibTable, RecomputeFactors_FromLengthsAndFrame_ZeroExtentKeepsFactor)
{
    CalibTable table;
    // 25 mm over 500 pixels and 3 mm over 40 pixels.
    CalibEntry& a = table[0];
    a.unit = UnitMm;
    a.lengthX = 25.0;
    a.lengthY = 3.0;
    a.left = 100.0;
    a.right = 600.0;
    a.top = 10.0;
    a.bottom = 50.0;
    // A frame of no width (as a settings file may hold) keeps the stored X factor, not an infinite one.
    CalibEntry& b = table[1];
    b.mppX = 0.7;
    b.mppY = 0.9;
    b.left = b.right = 30.0;
    b.lengthY = 20.0;
    CalibEntry& c = table[2];
    c.mppY = 0.9;
    c.top = c.bottom = 5.0;

    table.recomputeFactors();
    EXPECT_DOUBLE_EQ(a.mppX, 0.05);
    EXPECT_DOUBLE_EQ(a.mppY, 0.075);
    EXPECT_EQ(b.mppX, 0.7);
    EXPECT_DOUBLE_EQ(b.mppY, 0.1);
    EXPECT_DOUBLE_EQ(c.mppX, 0.05);
    EXPECT_EQ(c.mppY, 0.9);
    // An inverted frame is used as it stands.
    CalibEntry& d = table[3];
    d.left = 200.0;
    d.right = 0.0;
    d.recomputeFactors();
    EXPECT_DOUBLE_EQ(d.mppX, -0.05);

    // A frame thinner than any picture pixel, or a length beyond reason, as a settings file may hold: the
    // quotient overflows, and the stored factor stays rather than every result reading "inf".
    CalibEntry& e = table[4];
    e.right = 1e-320;
    e.lengthY = 1e308;
    e.bottom = 1e-10;
    e.recomputeFactors();
    EXPECT_EQ(e.mppX, 0.05);
    EXPECT_EQ(e.mppY, 0.05);
    e.lengthX = std::nan("");
    e.right = 200.0;
    e.recomputeFactors();
    EXPECT_EQ(e.mppX, 0.05);
}

TEST(CalibTable, ItemAt_SeeksByIndex_NegativeGivesFirst_BeyondGivesNull)
{
    CalibTable table;
    for (int i = 0; i < 10; ++i) {
        CalibEntry* e = table.itemAt(i);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->position, i);
        EXPECT_EQ(table.current(), e);
    }
    // A combo box without selection reports -1: the walk stays on the first entry.
    EXPECT_EQ(table.itemAt(-1), &table[0]);
    EXPECT_EQ(table.itemAt(10), nullptr);
    EXPECT_EQ(table.current(), &table[9]);
    EXPECT_EQ(&table.selected(4), &table[4]);
    EXPECT_EQ(&table.selected(-1), &table[0]);
    EXPECT_EQ(&table.selected(12), &table[0]);
    // Entries keep their addresses when the table is reset.
    CalibEntry* third = &table[2];
    table[2].name = "Ruler";
    table.setDefaults();
    EXPECT_EQ(table.itemAt(2), third);
    EXPECT_NE(third->name, "Ruler");
}

TEST(CalibEntry, UnitText_ThreeCodes_OtherCodesEmpty)
{
    EXPECT_EQ(unitText(0), "cm");
    EXPECT_EQ(unitText(1), "mm");
    EXPECT_EQ(unitText(2), "um");
    EXPECT_TRUE(unitText(3).isEmpty());
    EXPECT_TRUE(unitText(-1).isEmpty());
}
