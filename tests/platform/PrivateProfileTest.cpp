// The profile functions: lookups, defaults, number reading, writes that keep the rest of the file, atomic
// replacement and Shift-JIS input.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/PrivateProfile.h"
#include "support/FileBytes.h"

namespace {

std::string readString(const char* section, const char* key, const char* def, const QString& path, uint32_t size = 260)
{
    std::vector<char> buf(size);
    GetPrivateProfileStringA(section, key, def, buf.data(), size, path);
    return buf.data();
}

} // namespace

TEST(PrivateProfile, Read_MissingFileOrKey_GivesDefault)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("none.ini");
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 77, path), 77);
    EXPECT_EQ(readString("S", "k", "dflt", path), "dflt");
    writeBytes(path, "[S]\nother=1\nempty=\n");
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 77, path), 77);
    EXPECT_EQ(GetPrivateProfileIntA("T", "other", 5, path), 5);
    EXPECT_EQ(GetPrivateProfileIntA("S", "empty", 9, path), 9); // an empty value reads as the default
    EXPECT_EQ(readString("S", "empty", "dflt", path), "");
    // No list of names for a null section or key: the default, as for a missing key.
    EXPECT_EQ(readString(nullptr, "other", "dflt", path), "dflt");
    EXPECT_EQ(readString("S", nullptr, "dflt", path), "dflt");
    EXPECT_EQ(GetPrivateProfileIntA(nullptr, "other", 5, path), 5);
}

TEST(PrivateProfile, Read_CaseInsensitiveTrimmedAndUnquoted)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    writeBytes(path, "; comment\r\n[Nx-Qb740le]\r\n  Gamma =  120  \r\nname_0=\"Data 1\"\r\n[Other]\r\nGamma=5\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("NX-QB740LE", "gamma", 0, path), 120);
    EXPECT_EQ(GetPrivateProfileIntA("other", "GAMMA", 0, path), 5);
    EXPECT_EQ(readString("nx-qb740le", "NAME_0", "", path), "Data 1");
}

TEST(PrivateProfile, Int_LeadingSignAndDigitsOnly)
{
    EXPECT_EQ(ProfileInt("300"), 300);
    EXPECT_EQ(ProfileInt("  -12abc"), -12);
    EXPECT_EQ(ProfileInt("+7"), 7);
    EXPECT_EQ(ProfileInt("abc"), 0);
    EXPECT_EQ(ProfileInt("1.9"), 1);
    EXPECT_EQ(ProfileInt("4294967295"), -1); // wraps like a 32-bit accumulator, no overflow trap
    EXPECT_EQ(ProfileInt("99999999999999999999999"), ProfileInt("99999999999999999999999"));
}

TEST(PrivateProfile, ReadString_TruncatesToBufferOnCharacterBoundary)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    writeBytes(path, "[S]\nlong=abcdefgh\nja=校正値\n");
    char buf[5];
    EXPECT_EQ(GetPrivateProfileStringA("S", "long", "", buf, sizeof buf, path), 4u);
    EXPECT_STREQ(buf, "abcd");
    // Each of these characters is three bytes: only one fits in 4 bytes + terminator.
    EXPECT_EQ(GetPrivateProfileStringA("S", "ja", "", buf, sizeof buf, path), 3u);
    EXPECT_STREQ(buf, "校");
    char one[1] = { 'x' };
    EXPECT_EQ(GetPrivateProfileStringA("S", "long", "", one, 1, path), 0u);
    EXPECT_EQ(one[0], '\0');
}

TEST(PrivateProfile, Write_KeepsOtherContentAndAppendsInWriteOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("w.ini");
    writeBytes(path, "; keep me\n[A]\nx=1\n\n; end of A\n[B]\ny=2\n");
    EXPECT_EQ(WritePrivateProfileStringA("a", "X", "10", path), 1); // replaced in place, case-insensitively
    EXPECT_EQ(WritePrivateProfileStringA("A", "z", "3", path), 1); // appended after A's last entry
    EXPECT_EQ(WritePrivateProfileStringA("A", "w", "4", path), 1);
    EXPECT_EQ(WritePrivateProfileStringA("C", "v", "5", path), 1); // new section at the end
    EXPECT_EQ(readBytes(path), QByteArray("; keep me\n[A]\nX=10\nz=3\nw=4\n\n; end of A\n[B]\ny=2\n\n[C]\nv=5\n"));

    EXPECT_EQ(WritePrivateProfileStringA("A", "z", nullptr, path), 1); // null value removes the key
    EXPECT_EQ(WritePrivateProfileStringA("B", nullptr, nullptr, path), 1); // null key removes the section
    EXPECT_EQ(readBytes(path), QByteArray("; keep me\n[A]\nX=10\nw=4\n\n; end of A\n[C]\nv=5\n"));
}

TEST(PrivateProfile, Write_NewFileKeepsLineEndsAndLeavesNoTemporary)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("n.ini");
    EXPECT_EQ(WritePrivateProfileStringA("S", "a", "1", path), 1);
    EXPECT_EQ(WritePrivateProfileStringA("S", "b", "2", path), 1);
    EXPECT_EQ(readBytes(path), QByteArray("[S]\na=1\nb=2\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { "n.ini" });

    const QString crlf = dir.filePath("c.ini");
    writeBytes(crlf, "[S]\r\na=1\r\n");
    EXPECT_EQ(WritePrivateProfileStringA("S", "b", "2", crlf), 1);
    EXPECT_EQ(readBytes(crlf), QByteArray("[S]\r\na=1\r\nb=2\r\n"));

    // A folder that does not exist: nothing written, failure reported.
    EXPECT_EQ(WritePrivateProfileStringA("S", "a", "1", dir.filePath("missing/x.ini")), 0);
}

TEST(PrivateProfile, LoneCrLines_ReadAsLinesAndKeptOnWrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cr.ini");
    // An old editor's file: every line ends in a lone CR, Shift-JIS name included.
    writeBytes(path, QByteArray("[CALIBRATION]\rname_0=\x8D\x5A\r; note\r[NX-QB740LE]\rGamma=120\r"));
    EXPECT_EQ(readString("CALIBRATION", "name_0", "", path), "校");
    EXPECT_EQ(GetPrivateProfileIntA("NX-QB740LE", "Gamma", 0, path), 120);
    ASSERT_EQ(WritePrivateProfileStringA("NX-QB740LE", "Gamma", "90", path), 1);
    ASSERT_EQ(WritePrivateProfileStringA("CALIBRATION", "unit_0", "1", path), 1);
    EXPECT_EQ(readBytes(path), QByteArray("[CALIBRATION]\rname_0=校\runit_0=1\r; note\r[NX-QB740LE]\rGamma=90\r"));

    // Mixed ends: each line keeps its own, an added line takes the first line's, a last line without one
    // gets it too.
    writeBytes(path, QByteArray("[S]\r\na=1\nb=2\rc=3"));
    ASSERT_EQ(WritePrivateProfileStringA("S", "d", "4", path), 1);
    EXPECT_EQ(readBytes(path), QByteArray("[S]\r\na=1\nb=2\rc=3\r\nd=4\r\n"));
    EXPECT_EQ(GetPrivateProfileIntA("S", "b", 0, path), 2);
}

TEST(PrivateProfile, Read_ShiftJisAndUtf8WithBom)
{
    QTemporaryDir dir;
    const QString sjis = dir.filePath("sjis.ini");
    // "校正値1" in code page 932: 8D 5A 90 B3 92 6C 31.
    writeBytes(sjis,
        QByteArray("[CALIBRATION]\nname_0=\x8D\x5A\x90\xB3\x92\x6C"
                   "1\n"));
    EXPECT_EQ(readString("CALIBRATION", "name_0", "", sjis), "校正値1");

    // Lines of both kinds and a stray Latin-1 byte in one file: each line is read as what it is, and a write
    // leaves the UTF-8 lines byte for byte as they were.
    const QString mixed = dir.filePath("mixed.ini");
    writeBytes(mixed,
        QByteArray("[CALIBRATION]\nname_0=校正値1\nname_1=\x8D\x5A\x90\xB3\x92\x6C"
                   "2\nnote=caf\xE9\n"));
    EXPECT_EQ(readString("CALIBRATION", "name_0", "", mixed), "校正値1");
    EXPECT_EQ(readString("CALIBRATION", "name_1", "", mixed), "校正値2");
    ASSERT_EQ(WritePrivateProfileStringA("CALIBRATION", "unit_0", "1", mixed), 1);
    EXPECT_TRUE(readBytes(mixed).startsWith("[CALIBRATION]\nname_0=校正値1\nname_1=校正値2\n"));

    const QString bom = dir.filePath("bom.ini");
    writeBytes(bom, QByteArray("\xEF\xBB\xBF[S]\nk=値\n"));
    EXPECT_EQ(readString("S", "k", "", bom), "値");
}

TEST(PrivateProfile, Read_MarkedFileDecodedPerLine_SameBeforeAndAfterWrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bom.ini");
    // A UTF-8 mark, then a Shift-JIS value ("あ" is 82 A0): the mark must not switch off the per-line decoding,
    // or the value would read as raw bytes now and as "あ" once a write has dropped the mark.
    writeBytes(path, QByteArray("\xEF\xBB\xBF[Main]\nName=\x82\xA0\n"));
    EXPECT_EQ(readString("Main", "Name", "", path), "あ");
    ASSERT_EQ(WritePrivateProfileStringA("Main", "Other", "1", path), 1);
    EXPECT_EQ(readString("Main", "Name", "", path), "あ");
    EXPECT_EQ(readString("Main", "Other", "", path), "1");
    // Two marks: both go, or the second would hide the section until a write had dropped the first.
    writeBytes(path, QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF[Main]\nName=x\n"));
    EXPECT_EQ(readString("Main", "Name", "", path), "x");
    ASSERT_EQ(WritePrivateProfileStringA("Main", "Other", "1", path), 1);
    EXPECT_EQ(readString("Main", "Name", "", path), "x");
}

TEST(PrivateProfile, ProfileFile_BatchRoundTrip)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("b.ini");
    ProfileFile p;
    EXPECT_FALSE(p.load(path));
    p.setValue("NX-QB740LE", "type", "1");
    p.setValue("NX-QB740LE", "m_Bai_X", "0.000000");
    ASSERT_TRUE(p.save(path));
    ProfileFile q;
    ASSERT_TRUE(q.load(path));
    EXPECT_EQ(q.value("nx-qb740le", "M_BAI_X").value_or(""), "0.000000");
    EXPECT_FALSE(q.value("NX-QB740LE", "nothing").has_value());

    // The same from bytes in memory. Entries are listed in file order, none above the first section (no
    // lookup reaches those); too many bytes leave an empty profile that is never saved.
    ProfileFile m;
    ASSERT_TRUE(m.loadBytes("top=0\n[A]\nk=1\n[b]\nK=2\nk=3\n"));
    using Entries = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(m.entries(), (Entries { { "A", "k" }, { "b", "K" }, { "b", "k" } }));
    EXPECT_EQ(m.value("B", "k").value_or(""), "2");
    EXPECT_FALSE(m.loadBytes(std::string(size_t(ProfileFile::kMaxFileBytes) + 1, 'x')));
    EXPECT_TRUE(m.entries().empty());
    EXPECT_FALSE(m.save(dir.filePath("never.ini")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("never.ini")));
}

TEST(PrivateProfile, Write_LineBreakInValueRefusedAndFileUnchanged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("s.ini");
    writeBytes(path, "[NX-QB740LE]\nsavedir=/pictures\n");
    // A folder name may hold a line break; written as it is it would add a CALIBRATION section of its own.
    EXPECT_EQ(WritePrivateProfileStringA("NX-QB740LE", "savedir", "/x\n[CALIBRATION]\nname_0=evil", path), 0);
    EXPECT_EQ(WritePrivateProfileStringA("NX-QB740LE", "k\r", "1", path), 0);
    EXPECT_EQ(readBytes(path), QByteArray("[NX-QB740LE]\nsavedir=/pictures\n"));
    ProfileFile p;
    EXPECT_FALSE(p.setValue("S\n", "k", "1"));
    EXPECT_TRUE(p.setValue("S", "k", "1"));
    EXPECT_EQ(p.text(), "[S]\nk=1\n");
}

TEST(PrivateProfile, Write_NameThatCannotBeReadBackRefusedAndFileUnchanged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("names.ini");
    const QByteArray before("[S]\nk=1\n");
    writeBytes(path, before);
    // Each would be written as a line that reads as another section or key, or as none.
    for (const char* section : { "a]b", " S", "S ", "S\t" })
        EXPECT_EQ(WritePrivateProfileStringA(section, "k", "2", path), 0) << section;
    for (const char* key : { "a=b", " k", "k ", "[k", ";k" })
        EXPECT_EQ(WritePrivateProfileStringA("S", key, "2", path), 0) << key;
    EXPECT_EQ(readBytes(path), before);
    // Brackets, semicolons and spaces inside a name are fine.
    ASSERT_EQ(WritePrivateProfileStringA("a [b", "k;]x y", "3", path), 1);
    EXPECT_EQ(GetPrivateProfileIntA("a [b", "k;]x y", 0, path), 3);
}

TEST(PrivateProfile, Write_EveryValueReadsBackExactly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("v.ini");
    // The reader trims values and removes one pair of quotes: written bare, each of these would come back as
    // another value (a save folder ending in a space as another folder).
    for (const char* value : { "/pictures/set ", "   lead", "\"x\"", "'y'", "\"\"", "\tz\t", "\"", "a \"b\" c", "" }) {
        ASSERT_EQ(WritePrivateProfileStringA("NX-QB740LE", "savedir", value, path), 1) << value;
        EXPECT_EQ(readString("NX-QB740LE", "savedir", "dflt", path), value);
    }
    // Plain values stay unquoted in the file.
    ASSERT_EQ(WritePrivateProfileStringA("NX-QB740LE", "savedir", "/pictures/set", path), 1);
    EXPECT_EQ(readBytes(path), QByteArray("[NX-QB740LE]\nsavedir=/pictures/set\n"));
}

TEST(PrivateProfile, OversizedFileOrPipe_NeitherReadNorReplaced)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.ini");
    // One endless line after a valid entry: nothing of it is read, and the file is left as it was.
    QByteArray big = "[S]\nk=5\nx=";
    big.append(QByteArray(int(ProfileFile::kMaxFileBytes), 'a'));
    writeBytes(path, big);
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 7, path), 7);
    ProfileFile p;
    EXPECT_FALSE(p.load(path));
    EXPECT_TRUE(p.setValue("S", "k", "6"));
    EXPECT_FALSE(p.save(path));
    EXPECT_EQ(WritePrivateProfileStringA("S", "k", "6", path), 0);
    EXPECT_EQ(QFileInfo(path).size(), big.size());

    // A named pipe in the file's place reads as no file at once instead of waiting for a writer.
    const QString fifo = dir.filePath("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 7, fifo), 7);

    // Just under the limit: read as usual.
    big.resize(int(ProfileFile::kMaxFileBytes) - 1);
    writeBytes(path, big);
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 7, path), 5);
}

TEST(PrivateProfile, BinaryJunk_ReadsAndWritesWithoutHarm)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("junk.ini");
    // Random bytes with section brackets, equals signs, line ends, NULs and stray lead bytes mixed in.
    uint32_t seed = 12345;
    const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    const char pieces[] = { '[', ']', '=', '\n', '\r', '\0', '"', '\x81', '\xEF', ' ' };
    for (int round = 0; round < 20; ++round) {
        QByteArray junk;
        for (int i = 0; i < 4000; ++i) {
            const uint32_t r = next();
            junk.append((r >> 8) % 3 == 0 ? pieces[(r >> 12) % sizeof pieces] : char(r >> 24));
        }
        writeBytes(path, junk);
        char buf[16];
        const uint32_t n = GetPrivateProfileStringA("NX-QB740LE", "savedir", "d", buf, sizeof buf, path);
        EXPECT_LT(n, sizeof buf);
        EXPECT_EQ(buf[n], '\0');
        GetPrivateProfileIntA("NX-QB740LE", "Gamma", 100, path);
        ASSERT_EQ(WritePrivateProfileStringA("NX-QB740LE", "Gamma", "120", path), 1);
        EXPECT_EQ(GetPrivateProfileIntA("NX-QB740LE", "Gamma", 100, path), 120);
    }
}
