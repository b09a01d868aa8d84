// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiFixture.h"

#include "image/Inifile.h"

#include <QAction>
#include <QApplication>
#include <QScreen>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {
class SettingsTest : public ::testing::Test
{
protected:
    TUiWindows W;

    void WriteSettings(const std::string& text)
    {
        QDir().mkpath(QString::fromStdString(W.Dir.File("config/Sarvex")));
        W.Dir.Write("config/Sarvex/Sarvex.ini", text);
        W.Restart();
    }

    TIniFile Saved() const
    {
        TIniFile ini(W.SettingsPath().toStdString());
        EXPECT_TRUE(ini.Load());
        return ini;
    }
};
} // namespace

TEST_F(SettingsTest, DefaultsWithoutAFile)
{
    TMainFrm& frm = *W.MainFrm;
    EXPECT_EQ(frm.pos(), QPoint(100, 100));
    EXPECT_EQ(frm.size(), QSize(470, FormHeight(*W.MainFrm)));
    for (QLineEdit* edit : {Child<QLineEdit>(frm, "CuePathEdit"), Child<QLineEdit>(frm, "CcdPathEdit")})
    {
        EXPECT_EQ(edit->font().family(), "Arial");
        EXPECT_EQ(edit->font().pointSize(), 9);
        EXPECT_FALSE(edit->font().bold());
        EXPECT_EQ(edit->palette().color(QPalette::Text), QApplication::palette().color(QPalette::Text));
    }
    EXPECT_TRUE(Child<QCheckBox>(frm, "CorrectCk")->isChecked());
    EXPECT_TRUE(Child<QAction>(frm, "SettingsCdText")->isChecked());
    EXPECT_TRUE(frm.LastCueDir().isEmpty());
    EXPECT_TRUE(frm.LastCcdDir().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(W.SettingsPath())); // nothing is written before close
}

TEST_F(SettingsTest, CloseWritesEighteenKeysAndRestartRestoresThem)
{
    {
        TMainFrm& frm = *W.MainFrm;
        frm.move(120, 130);
        frm.resize(640, 400); // the height stays
        TPathFont font;
        font.Font = QFont("Liberation Mono");
        font.Font.setPointSize(11);
        font.Font.setBold(true);
        font.Font.setItalic(true);
        font.Font.setUnderline(true);
        font.Font.setStrikeOut(true);
        font.Color = 0x0000FF; // red
        font.Pitch = 2;
        font.Charset = 128;
        frm.ApplyPathFont(font);
        frm.OpenCueFile(QString::fromStdString(WriteSingleTrackDisc(W.Dir, 300)));
        frm.SelectCcdFile("/disc.ccd");
        Child<QCheckBox>(frm, "CorrectCk")->setChecked(false);
        Child<QAction>(frm, "SettingsCdText")->setChecked(false);
        frm.close();
    }

    const TIniFile ini = Saved();
    const std::string text = ini.Text();
    EXPECT_EQ(text.find("[Form]\r\nTop=130\r\nLeft=120\r\nHeight=158\r\nWidth=640\r\n"), 0u) << text;
    EXPECT_NE(text.find("[Font]\r\nCharaset=128\r\nName=Liberation Mono\r\nSize=11\r\nColor=255\r\nPitch=2\r\n"
                        "Height=-"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[Font\\Style]\r\nIsBold=1\r\nIsItalic=1\r\nIsUnderline=1\r\nIsStrikeOut=1\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("[Dir]\r\nCue=" + W.Dir.Path().string() +
                        "\r\nCcd=/\r\n[Options]\r\nEdcEcc=0\r\nCdTextFromCue=0\r\n"),
              std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '='), 18);

    W.Restart();
    TMainFrm& frm = *W.MainFrm;
    EXPECT_EQ(frm.pos(), QPoint(120, 130));
    EXPECT_EQ(frm.size(), QSize(640, FormHeight(frm)));
    const QFont font = Child<QLineEdit>(frm, "CcdPathEdit")->font();
    EXPECT_EQ(font.family(), "Liberation Mono");
    EXPECT_EQ(font.pointSize(), 11);
    EXPECT_TRUE(font.bold() && font.italic() && font.underline() && font.strikeOut());
    EXPECT_TRUE(font.fixedPitch());
    EXPECT_EQ(Child<QLineEdit>(frm, "CuePathEdit")->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(frm.PathFont().Pitch, 2);
    EXPECT_EQ(frm.PathFont().Charset, 128);
    EXPECT_EQ(frm.LastCueDir(), QString::fromStdString(W.Dir.Path().string()));
    EXPECT_EQ(frm.LastCcdDir(), "/");
    EXPECT_FALSE(Child<QCheckBox>(frm, "CorrectCk")->isChecked());
    EXPECT_FALSE(Child<QAction>(frm, "SettingsCdText")->isChecked());
}

TEST_F(SettingsTest, OtherKeysStayInPlace)
{
    WriteSettings("; kept\r\n[Form]\r\nTop=5\r\nExtra=keep me\r\n[Other]\r\nA=1\r\n");
    EXPECT_EQ(W.MainFrm->y(), 5);
    W.MainFrm->close();
    const std::string text = Saved().Text();
    EXPECT_EQ(text.find("; kept\r\n[Form]\r\nTop=5\r\nExtra=keep me\r\nLeft=100\r\nHeight=158\r\nWidth=470\r\n"
                        "[Other]\r\nA=1\r\n[Font]\r\n"),
              0u)
        << text;
}

TEST_F(SettingsTest, SizeWinsOverHeightAndSilentFallbacks)
{
    WriteSettings("[Font]\nName=Arial\nSize=11\nHeight=-30\nColor=oops\n[Form]\nWidth=abc\nHeight=400\n");
    const TMainFrm& frm = *W.MainFrm;
    EXPECT_EQ(Child<QLineEdit>(frm, "CuePathEdit")->font().pointSize(), 11);
    EXPECT_EQ(frm.PathFont().Color, TPathFont::SYSTEM_WINDOW_TEXT);
    EXPECT_EQ(frm.size(), QSize(470, FormHeight(*W.MainFrm)));
    EXPECT_TRUE(W.Boxes.empty());
}

TEST_F(SettingsTest, EdcEccIsAnyNonZeroInteger)
{
    WriteSettings("[Options]\nEdcEcc=0\n");
    EXPECT_FALSE(Child<QCheckBox>(*W.MainFrm, "CorrectCk")->isChecked());
    WriteSettings("[Options]\nEdcEcc=5\n");
    EXPECT_TRUE(Child<QCheckBox>(*W.MainFrm, "CorrectCk")->isChecked());
    WriteSettings("[options]\nedcecc=0\n");
    EXPECT_FALSE(Child<QCheckBox>(*W.MainFrm, "CorrectCk")->isChecked());
}

TEST_F(SettingsTest, UnwritableFileIsSilent)
{
    // A folder where the file should be: the save fails without a message.
    QDir().mkpath(W.SettingsPath());
    W.Restart(); // reading it is silent too, and gives the defaults
    EXPECT_EQ(W.MainFrm->size(), QSize(470, FormHeight(*W.MainFrm)));
    EXPECT_TRUE(Child<QCheckBox>(*W.MainFrm, "CorrectCk")->isChecked());
    W.MainFrm->close();
    EXPECT_TRUE(W.Boxes.empty()) << W.Boxes[0].Text.toStdString();
    EXPECT_TRUE(QFileInfo(W.SettingsPath()).isDir());
}

TEST_F(SettingsTest, APositionOffEveryScreenIsMovedOntoTheNearest)
{
    WriteSettings("[Form]\nLeft=3000\nTop=2000\n");
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(area.contains(W.MainFrm->geometry())) << W.MainFrm->x() << "," << W.MainFrm->y();
    WriteSettings("[Form]\nLeft=-900\nTop=40\n");
    EXPECT_EQ(W.MainFrm->pos(), QPoint(area.left(), 40));
    WriteSettings("[Form]\nLeft=20\nTop=30\n");
    EXPECT_EQ(W.MainFrm->pos(), QPoint(20, 30));
}
