// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Inifile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <system_error>

namespace {

class InifileTest : public ::testing::Test
{
protected:
    TTempDir Dir;
};

TEST_F(InifileTest, NewFileFollowsTheWriterRulesByteForByte)
{
    TIniFile ini(Dir.File("new.ini"));
    ini.WriteInteger("CloneCD", "Version", 3);
    ini.WriteInteger("Disc", "TocEntries", 5);
    ini.WriteInteger("Disc", "CDTextLength", 0);
    ini.WriteString("Session 1", "PreGapMode", "0");
    ini.WriteInteger("Disc", "CDTextLength", 36); // replaced where it stands
    ini.WriteInteger("CloneCD", "Extra", -150);   // appended to a section that is not the last
    ini.WriteString("Session 1", "PreGapMode", "2");
    ini.WriteBool("Options", "EdcEcc", true);
    ini.UpdateFile();

    EXPECT_EQ(TTempDir::ReadAll(Dir.File("new.ini")), "[CloneCD]\r\nVersion=3\r\nExtra=-150\r\n"
                                                      "[Disc]\r\nTocEntries=5\r\nCDTextLength=36\r\n"
                                                      "[Session 1]\r\nPreGapMode=2\r\n"
                                                      "[Options]\r\nEdcEcc=1\r\n");
}

TEST_F(InifileTest, ExistingFileKeepsForeignLinesAndTakesChangesInPlace)
{
    // LF line ends, a comment, spaces around "=", a line without "=", blank lines between sections.
    const std::string path = Dir.Write("old.ini", "; settings\n"
                                                  "[Form]\n"
                                                  "Top = 10\n"
                                                  "junk line\n"
                                                  "\n"
                                                  "[Font\\Style]\n"
                                                  "IsBold=1\n"
                                                  "\n"
                                                  "[Other]\n"
                                                  "Keep=me\n");
    TIniFile ini(path);
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadInteger("form", "TOP", 100), 10);
    EXPECT_TRUE(ini.ReadBool("FONT\\STYLE", "isbold", false));

    ini.WriteInteger("FORM", "top", 20);  // keeps the stored key spelling
    ini.WriteInteger("Form", "Left", 30); // before the blank line that ends the section
    ini.WriteBool("Font\\Style", "IsItalic", false);
    ini.WriteString("Dir", "Cue", "/home/user/cds");
    ini.UpdateFile();

    EXPECT_EQ(TTempDir::ReadAll(path), "; settings\r\n"
                                       "[Form]\r\n"
                                       "Top=20\r\n"
                                       "junk line\r\n"
                                       "Left=30\r\n"
                                       "\r\n"
                                       "[Font\\Style]\r\n"
                                       "IsBold=1\r\n"
                                       "IsItalic=0\r\n"
                                       "\r\n"
                                       "[Other]\r\n"
                                       "Keep=me\r\n"
                                       "[Dir]\r\n"
                                       "Cue=/home/user/cds\r\n");
}

TEST_F(InifileTest, ReadsCrLfAndLoneCrFilesAlike)
{
    for (const char* text : {"[A]\r\nx=1\r\ny=two\r\n", "[A]\rx=1\ry=two", "[a]\nX=1\nY=two\n"})
    {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        TIniFile ini(Dir.Write("eol.ini", text));
        ASSERT_TRUE(ini.Load());
        EXPECT_EQ(ini.ReadInteger("A", "x", 0), 1);
        EXPECT_EQ(ini.ReadString("A", "y", ""), "two");
        EXPECT_FALSE(ini.ValueExists("A", "z"));
        EXPECT_FALSE(ini.SectionExists("B"));
    }
}

struct TIntegerCase
{
    const char* Value;
    std::int32_t Expected;
};

class InifileIntegerTest : public ::testing::TestWithParam<TIntegerCase>
{};

TEST_P(InifileIntegerTest, InvalidIntegersGiveTheDefault)
{
    TTempDir dir;
    const TIntegerCase& c = GetParam();
    TIniFile ini(dir.Write("int.ini", std::string("[S]\r\nK=") + c.Value + "\r\n"));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadInteger("S", "K", 77), c.Expected);
    EXPECT_EQ(ini.ReadBool("S", "K", true), c.Expected != 0);
}

INSTANTIATE_TEST_SUITE_P(Values, InifileIntegerTest,
                         ::testing::Values(TIntegerCase{"12", 12}, TIntegerCase{"-13", -13}, TIntegerCase{"+5", 5},
                                           TIntegerCase{"0", 0}, TIntegerCase{"-2147483640", -2147483640},
                                           TIntegerCase{"-2147483648", INT32_MIN}, TIntegerCase{"2147483648", 77},
                                           TIntegerCase{"", 77}, TIntegerCase{"abc", 77}, TIntegerCase{"12x", 77},
                                           TIntegerCase{"1 2", 77}, TIntegerCase{"-", 77}));

TEST_F(InifileTest, MissingFileReadsDefaults)
{
    TIniFile ini(Dir.File("absent.ini"));
    EXPECT_FALSE(ini.Load());
    EXPECT_EQ(ini.ReadInteger("Form", "Width", 470), 470);
    EXPECT_EQ(ini.ReadString("Font", "Name", "Arial"), "Arial");
    EXPECT_TRUE(ini.ReadBool("Options", "EdcEcc", true));
    EXPECT_EQ(ini.Text(), "");
}

TEST_F(InifileTest, FolderOrFifoReadsDefaultsWithoutRaisingOrBlocking)
{
    TIniFile folder(Dir.Path().string());
    EXPECT_FALSE(folder.Load());
    EXPECT_EQ(folder.ReadInteger("Form", "Width", 470), 470);
    const std::string fifo = Dir.File("pipe.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TIniFile pipe(fifo);
    EXPECT_FALSE(pipe.Load());
}

TEST_F(InifileTest, QuotedValueReadsWithoutQuotes)
{
    TIniFile ini(Dir.Write("q.ini", "[Dir]\nCue=\"C:\\My CDs\"\nCcd=\"\n"));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadString("Dir", "Cue", ""), "C:\\My CDs");
    EXPECT_EQ(ini.ReadString("Dir", "Ccd", "x"), "\"");
}

TEST_F(InifileTest, UnwritablePathRaisesOrFailsQuietly)
{
    TIniFile ini(Dir.File("no/such/folder/x.ini"));
    ini.WriteInteger("A", "B", 1);
    EXPECT_THROW(ini.UpdateFile(), std::system_error);
    EXPECT_FALSE(ini.TryUpdateFile());
}

} // namespace
