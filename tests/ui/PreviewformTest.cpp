// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiFixture.h"

#include "image/Layoutreport.h"
#include "support/Audio.h"
#include "support/CdTextFile.h"
#include "support/Sidecar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace {
class PreviewformTest : public ::testing::Test
{
protected:
    TUiWindows W;
    TPreviewFrm& Frm = *W.PreviewFrm;

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        for (int row = 0; row < Child<QListWidget>(Frm, "TrackList")->count(); ++row)
            lines.push_back(Child<QListWidget>(Frm, "TrackList")->item(row)->text().toStdString());
        return lines;
    }

    // The window shows what the layout report makes of the loaded sheet, and copies that report.
    void ExpectShowsLayoutOfTheSheet()
    {
        const TDiscLayout layout = BuildDiscLayout(W.MainFrm->Sheet());
        EXPECT_EQ(Child<QLabel>(Frm, "NumTrkLbl")->text().toStdString(), layout.NumTracks);
        EXPECT_EQ(Child<QLabel>(Frm, "LengthLbl")->text().toStdString(), layout.TotalTime);
        EXPECT_EQ(Child<QLabel>(Frm, "McnLbl")->text().toStdString(), layout.Catalog);
        EXPECT_EQ(Lines(), layout.Lines);
        EXPECT_EQ(Clipboard(), BuildLayoutReport(layout));
    }

    std::string Clipboard()
    {
        QGuiApplication::clipboard()->clear();
        Child<QPushButton>(Frm, "ClipBtn")->click();
        return QGuiApplication::clipboard()->text().toStdString();
    }
};
} // namespace

TEST_F(PreviewformTest, EmptySheet)
{
    Frm.FormShow();
    EXPECT_EQ(Child<QLabel>(Frm, "NumTrkLbl")->text(), "0");
    EXPECT_EQ(Child<QLabel>(Frm, "LengthLbl")->text(), "00:00:00");
    EXPECT_EQ(Child<QLabel>(Frm, "McnLbl")->text(), "Not Specified");
    EXPECT_EQ(Child<QLabel>(Frm, "CdtextLbl")->text(), "Not Specified");
    EXPECT_EQ(Child<QListWidget>(Frm, "TrackList")->count(), 0);
    ExpectShowsLayoutOfTheSheet();
}

TEST_F(PreviewformTest, SingleDataTrack)
{
    W.MainFrm->OpenCueFile(QString::fromStdString(WriteSingleTrackDisc(W.Dir, 1000)));
    QTimer::singleShot(0, &Frm, [&] { Child<QPushButton>(Frm, "CloseBtn")->click(); });
    Child<QPushButton>(*W.MainFrm, "PreviewBtn")->click(); // shown modally; every showing rebuilds the contents

    // The report's own text is checked in LayoutreportTest; here, that the window shows it.
    ExpectShowsLayoutOfTheSheet();
    EXPECT_EQ(Child<QListWidget>(Frm, "TrackList")->count(), 6);
    EXPECT_EQ(Child<QListWidget>(Frm, "TrackList")->currentRow(), 0);
}

TEST_F(PreviewformTest, GapsIsrcFlagsAndCatalog)
{
    W.Dir.WriteZeros("two.bin", 750 * 2352);
    const std::string cue = W.Dir.Write("two.cue", "CATALOG 4988001234567\n"
                                                   "FILE \"two.bin\" BINARY\n"
                                                   "  TRACK 01 AUDIO\n"
                                                   "    FLAGS DCP PRE\n"
                                                   "    ISRC JPXXX0000001\n"
                                                   "    INDEX 01 00:00:00\n"
                                                   "  TRACK 02 AUDIO\n"
                                                   "    PREGAP 00:02:00\n"
                                                   "    INDEX 00 00:04:00\n"
                                                   "    INDEX 01 00:06:00\n"
                                                   "    INDEX 02 00:07:00\n"
                                                   "    POSTGAP 00:01:00\n");
    W.MainFrm->OpenCueFile(QString::fromStdString(cue));
    ASSERT_TRUE(W.Boxes.empty()) << W.Boxes[0].Text.toStdString();
    Frm.FormShow();

    ExpectShowsLayoutOfTheSheet();
    EXPECT_EQ(Child<QListWidget>(Frm, "TrackList")->count(), 12);
    EXPECT_EQ(Child<QLabel>(Frm, "McnLbl")->text(), "4988001234567");
}

TEST_F(PreviewformTest, FixedPitchHeaderAndCaptions)
{
    EXPECT_EQ(Frm.windowTitle(), "Disc Layout");
    EXPECT_EQ(Child<QLabel>(Frm, "HdrLbl")->text().toStdString(),
              "Track Index ISRC           Type       Copy Emph 4ch        Start    Length ");
    EXPECT_TRUE(QFontInfo(Child<QListWidget>(Frm, "TrackList")->font()).fixedPitch());
    EXPECT_TRUE(QFontInfo(Child<QLabel>(Frm, "HdrLbl")->font()).fixedPitch());
    EXPECT_EQ(Child<QPushButton>(Frm, "ClipBtn")->text(), "&Copy to Clipboard");
    EXPECT_EQ(Child<QPushButton>(Frm, "CloseBtn")->text(), "C&lose");
}

// A long CD-TEXT path in a large font is shortened in the middle; the tooltip and the report keep it whole.
TEST_F(PreviewformTest, LongCdTextPathIsElidedNotCut)
{
    const std::string folder = "a-rather-long-folder-name-for-the-cd-text-file/and-one-more-level-below-it";
    std::filesystem::create_directories(W.Dir.File(folder));
    const std::string cdt = W.Dir.Write(folder + "/disc.cdt", CdTextFileBytes(1));
    WriteSingleTrackDisc(W.Dir, 300);
    const std::string cue = W.Dir.Write("text.cue", "CDTEXTFILE \"" + folder +
                                                        "/disc.cdt\"\nFILE \"disc.bin\" BINARY\n"
                                                        "  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n");
    W.MainFrm->OpenCueFile(QString::fromStdString(cue));
    ASSERT_TRUE(W.Boxes.empty()) << W.Boxes[0].Text.toStdString();
    TPathFont font = W.MainFrm->PathFont();
    font.Font.setPointSize(12);
    W.MainFrm->ApplyPathFont(font);
    Frm.FormShow();

    QLabel* label = Child<QLabel>(Frm, "CdtextLbl");
    const QString whole = QString::fromStdString(cdt);
    EXPECT_EQ(label->toolTip(), whole);
    EXPECT_NE(label->text(), whole);
    EXPECT_TRUE(label->text().contains(QChar(0x2026))) << label->text().toStdString();
    EXPECT_TRUE(label->text().endsWith("disc.cdt"));
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
    EXPECT_GE(label->height(), QFontMetrics(font.Font).height());
    EXPECT_LE(label->geometry().bottom(), Child<QGroupBox>(Frm, "DiscInfoGroup")->height());
    EXPECT_NE(Clipboard().find("CD-TEXT File         : " + cdt + "\n"), std::string::npos);
}

TEST_F(PreviewformTest, ASideCarShowsItsLineAndPutsItInTheReport)
{
    const std::string cue = WriteSingleTrackDisc(W.Dir, 1000, "Game");
    std::string records;
    for (int f = 10; f < 26; ++f)
        records += sidecar::LsdRecord({0x00, 0x02, f / 10 * 16 + f % 10}, sidecar::MEDIEVIL_LSD);
    W.Dir.Write("Game.lsd", records);
    W.MainFrm->OpenCueFile(QString::fromStdString(cue));
    Frm.FormShow();
    EXPECT_FALSE(Child<QLabel>(Frm, "SubQLbl")->isHidden());
    EXPECT_EQ(Child<QLabel>(Frm, "SubQLbl")->text(), "Subchannel patches: 16 Q frames from Game.lsd");
    // A band of its own: clear of both groups, and everything below it moved down.
    const QRect line = Child<QLabel>(Frm, "SubQLbl")->geometry();
    EXPECT_GE(line.top(), Child<QGroupBox>(Frm, "DiscInfoGroup")->geometry().bottom() + 6);
    EXPECT_LE(line.bottom() + 6, Child<QGroupBox>(Frm, "TrackInfoGroup")->geometry().top());
    EXPECT_LT(Child<QGroupBox>(Frm, "TrackInfoGroup")->geometry().bottom(), Child<QPushButton>(Frm, "ClipBtn")->y());
    EXPECT_LT(Child<QPushButton>(Frm, "ClipBtn")->geometry().bottom(), Frm.height());
    EXPECT_NE(Clipboard().find("  CD-TEXT File         : Not Specified\n\n"
                               "  Subchannel patches: 16 Q frames from Game.lsd\n\n"),
              std::string::npos);

    W.MainFrm->OpenCueFile(QString::fromStdString(WriteSingleTrackDisc(W.Dir, 1000)));
    Frm.FormShow();
    EXPECT_TRUE(Child<QLabel>(Frm, "SubQLbl")->isHidden());
    EXPECT_EQ(Clipboard().find("Subchannel"), std::string::npos);
    EXPECT_EQ(Frm.size(), QSize(632, 456));
    EXPECT_EQ(Child<QGroupBox>(Frm, "TrackInfoGroup")->y(), 148);
}

// Lines of the sheet that are no command are listed under the layout, and the report has them.
TEST_F(PreviewformTest, IgnoredLinesFollowTheListAndGoIntoTheReport)
{
    const std::string cue = WriteSingleTrackDisc(W.Dir, 1000);
    W.Dir.Write("Disc.cue", TTempDir::ReadAll(cue) + "TRAKC 02 AUDIO\nFOO\n");
    W.MainFrm->OpenCueFile(QString::fromStdString(W.Dir.File("Disc.cue")));
    Frm.FormShow();
    const TDiscLayout layout = BuildDiscLayout(W.MainFrm->Sheet());
    std::vector<std::string> expected = layout.Lines;
    expected.insert(expected.end(), {"", "Ignored lines: 4: TRAKC 02 AUDIO", "               5: FOO"});
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(Clipboard(), BuildLayoutReport(layout));
}

TEST_F(PreviewformTest, SheetTextShowsWhereItComesFromAndTheMenuTurnsItOff)
{
    W.Dir.WriteZeros("DISC.BIN", 1000 * 2352);
    const std::string cue = W.Dir.Write("text.cue", "TITLE \"夜に駆ける\"\nFILE \"DISC.BIN\" BINARY\n"
                                                    "TRACK 01 MODE1/2352\nINDEX 01 00:00:00\n");
    ASSERT_TRUE(Child<QAction>(*W.MainFrm, "SettingsCdText")->isChecked());
    W.MainFrm->OpenCueFile(QString::fromStdString(cue));
    Frm.FormShow();
    const std::string from = "From the cue sheet (" + std::to_string(W.MainFrm->Sheet().CdTextPacks.size()) + " packs)";
    EXPECT_EQ(Child<QLabel>(Frm, "CdtextLbl")->text().toStdString(), from);
    EXPECT_EQ(Lines().back(), "  Disc        TITLE      : 夜に駆ける");
    const std::string report = Clipboard();
    EXPECT_NE(report.find("  CD-TEXT File         : " + from + "\n\n"), std::string::npos);
    EXPECT_NE(report.find("  CD-TEXT     Block 0: Japanese, MS-JIS\n"), std::string::npos) << report;

    // Unchecking reads the sheet again without its text.
    Child<QAction>(*W.MainFrm, "SettingsCdText")->trigger();
    EXPECT_FALSE(Child<QAction>(*W.MainFrm, "SettingsCdText")->isChecked());
    EXPECT_TRUE(W.MainFrm->Sheet().CdTextPacks.empty());
    Frm.FormShow();
    EXPECT_EQ(Child<QLabel>(Frm, "CdtextLbl")->text(), "Not Specified");
    EXPECT_EQ(Clipboard().find("CD-TEXT  "), std::string::npos);
}

// The report's remarks (a track from a lossy file) show after the list too, and are copied once.
TEST_F(PreviewformTest, RemarksFollowTheListAndAreCopiedOnce)
{
    ASSERT_TRUE(RunEncoder("ffmpeg -nostdin -f lavfi -i anoisesrc=r=44100:d=5 -ac 2 -c:a libvorbis " +
                           Quoted(W.Dir.File("a.ogg"))));
    W.MainFrm->OpenCueFile(QString::fromStdString(W.Dir.Write("a.cue", OneTrackSheet("a.ogg"))));
    Frm.FormShow();
    const TDiscLayout layout = BuildDiscLayout(W.MainFrm->Sheet());
    ASSERT_EQ(layout.Notes.size(), 1u);
    EXPECT_EQ(layout.Notes[0].rfind("Track 01 comes from a lossy file: a.ogg", 0), 0u) << layout.Notes[0];
    std::vector<std::string> shown = layout.Lines;
    shown.insert(shown.end(), {"", "  " + layout.Notes[0]});
    EXPECT_EQ(Lines(), shown);
    EXPECT_EQ(Clipboard(), BuildLayoutReport(layout));
}
