// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio/Fileio.h"

#include "support/TempDir.h"
#include "support/FileFaults.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

class FileioTest : public ::testing::Test
{
protected:
    // The text of the error that body raises, or "" when it raises none.
    template <class F>
    static std::string ErrorOf(F body)
    {
        try
        {
            body();
        }
        catch (const std::system_error& error)
        {
            return error.what();
        }
        return "";
    }
    TTempDir Dir;
};

TEST_F(FileioTest, PathKindFollowsLinksAndSaysWhatIsThere)
{
    const std::string file = Dir.Write("a.bin", "x");
    fs::create_directory(Dir.File("folder"));
    ASSERT_EQ(::mkfifo(Dir.File("pipe").c_str(), 0666), 0);
    fs::create_symlink(file, Dir.File("link"));
    fs::create_symlink(Dir.File("gone"), Dir.File("dangling"));
    EXPECT_EQ(PathKind(file), pkRegular);
    EXPECT_EQ(PathKind(Dir.File("link")), pkRegular);
    EXPECT_EQ(PathKind(Dir.File("folder")), pkFolder);
    EXPECT_EQ(PathKind(Dir.File("pipe")), pkOther);
    EXPECT_EQ(PathKind(Dir.File("dangling")), pkBrokenLink);
    EXPECT_EQ(PathKind(Dir.File("gone")), pkMissing);
    EXPECT_EQ(PathKind(""), pkMissing);
    EXPECT_TRUE(IsRegularFile(Dir.File("link")));
    for (const char* name : {"folder", "pipe", "dangling", "gone"})
        EXPECT_FALSE(IsRegularFile(Dir.File(name))) << name;
    EXPECT_TRUE(IsSameFile(Dir.File("link"), file));
    EXPECT_FALSE(IsSameFile(Dir.File("folder"), file));
    EXPECT_FALSE(IsSameFile("", file));
}

TEST_F(FileioTest, OpenForReadingTakesRegularFilesOnlyAndNamesThePath)
{
    fs::create_directory(Dir.File("folder"));
    ASSERT_EQ(::mkfifo(Dir.File("pipe").c_str(), 0666), 0);
    // A FIFO without a writer would block a plain open; here it fails at once.
    for (const char* name : {"folder", "pipe"})
        EXPECT_EQ(ErrorOf([&] { TFile::OpenForReading(Dir.File(name)); }),
                  "cannot open \"" + Dir.File(name) + "\": not a regular file");
    EXPECT_EQ(ErrorOf([&] { TFile::OpenForReading(Dir.File("gone"), "the CD-TEXT file"); }),
              "cannot open the CD-TEXT file \"" + Dir.File("gone") + "\": No such file or directory");
}

TEST_F(FileioTest, ReadsFillWithZerosPastTheEnd)
{
    const TFile file = TFile::OpenForReading(Dir.Write("a.bin", "abcdef"));
    EXPECT_EQ(file.Size(), 6);
    std::array<std::uint8_t, 4> buffer{};
    buffer.fill(0xEE);
    EXPECT_EQ(file.ReadAt(4, buffer), 2u);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{'e', 'f', 0, 0}));
    buffer.fill(0xEE);
    EXPECT_EQ(file.ReadAt(-1, buffer), 0u);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{}));
    file.ReadExact(2, buffer);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{'c', 'd', 'e', 'f'}));
    EXPECT_EQ(ErrorOf([&] { file.ReadExact(3, buffer); }),
              "cannot read \"" + Dir.File("a.bin") + "\": the file ends early");
    EXPECT_EQ(file.ReadAll(), "abcdef");
}

TEST_F(FileioTest, OpenForWritingTruncatesButNeverCreatesFolders)
{
    const std::string path = Dir.Write("out.img", "old contents");
    TFile file = TFile::OpenForWriting(path);
    file.WriteAll(std::string_view("new"));
    file.Close();
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(TTempDir::ReadAll(path), "new");

    EXPECT_EQ(ErrorOf([&] { TFile::OpenForWriting(Dir.File("missing/out.img")); }),
              "cannot create \"" + Dir.File("missing/out.img") + "\": No such file or directory");
    EXPECT_FALSE(fs::exists(Dir.File("missing")));
}

// The budget is shared by all files and a write past it keeps what fit, as a filling volume does.
TEST_F(FileioTest, AWriteBudgetFailsWritesAfterThatManyBytes)
{
    TFile first = TFile::OpenForWriting(Dir.File("a.img"));
    TFile second = TFile::OpenForWriting(Dir.File("b.sub"));
    {
        const TWriteBudget budget(7);
        first.WriteAll(std::string_view("abcd"));
        EXPECT_EQ(ErrorOf([&] { second.WriteAll(std::string_view("efgh")); }),
                  "cannot write \"" + Dir.File("b.sub") + "\": No space left on device");
        EXPECT_EQ(ErrorOf([&] { first.WriteAll(std::string_view("i")); }),
                  "cannot write \"" + Dir.File("a.img") + "\": No space left on device");
    }
    first.WriteAll(std::string_view("j"));
    EXPECT_EQ(first.ReadAll(), "abcdj");
    EXPECT_EQ(second.ReadAll(), "efg");
}

TEST_F(FileioTest, DamagedReadsGiveWhatPrecedesTheDamageAndFail)
{
    const TFile file = TFile::OpenForReading(Dir.Write("a.bin", "abcdef"));
    const TDamagedReads damage(4);
    std::array<std::uint8_t, 4> buffer{};
    EXPECT_EQ(file.ReadAt(0, buffer), 4u);
    EXPECT_EQ(ErrorOf([&] { file.ReadAt(2, buffer); }),
              "cannot read \"" + Dir.File("a.bin") + "\": Input/output error");
}

// The kernel's copy and the buffered one give the same bytes and meet the same faults.
TEST_F(FileioTest, CopyFromAppendsTheRangeOrRaisesWhereTheSourceFails)
{
    const TFile source = TFile::OpenForReading(Dir.Write("a.img", "0123456789"));
    std::array<std::uint8_t, 3> buffer{};
    TFile out = TFile::OpenForWriting(Dir.File("b.bin"));
    out.WriteAll(std::string_view(">"));
    out.CopyFrom(source, 2, 7, buffer);
    {
        const TDamagedReads damage(100);
        out.CopyFrom(source, 0, 4, buffer);
    }
    EXPECT_EQ(out.ReadAll(), ">23456780123");
    EXPECT_EQ(ErrorOf([&] { out.CopyFrom(source, 8, 4, buffer); }),
              "cannot read \"" + Dir.File("a.img") + "\": the file ends early");
    const TDamagedReads damage(5);
    EXPECT_EQ(ErrorOf([&] { out.CopyFrom(source, 0, 8, buffer); }),
              "cannot read \"" + Dir.File("a.img") + "\": Input/output error");
}

TEST_F(FileioTest, AMovedFileKeepsItsDescriptor)
{
    const std::string path = Dir.Write("a.bin", "abc");
    TFile first = TFile::OpenForReading(path);
    TFile second = std::move(first);
    EXPECT_FALSE(first.IsOpen());
    ASSERT_TRUE(second.IsOpen());
    EXPECT_EQ(second.Path(), path);
    EXPECT_TRUE(second.RefersTo(path));
    EXPECT_FALSE(first.RefersTo(path));
    EXPECT_EQ(second.ReadAll(), "abc");
}

} // namespace
