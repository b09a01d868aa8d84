// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiFixture.h"

#include <QAction>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

class ExportflowTest : public ::testing::Test
{
protected:
    TUiWindows W;
    TMainFrm& Frm = *W.MainFrm;

    // A sound set, written by the program's own conversion and named apart from its sheet; answers its
    // .ccd path.
    QString ConvertSet()
    {
        Frm.OpenCueFile(QString::fromStdString(WriteSingleTrackDisc(W.Dir, 300, "disc")));
        Child<QPushButton>(Frm, "ConvBtn")->click();
        EXPECT_TRUE(WaitFor([&] { return Child<QPushButton>(Frm, "ConvBtn")->isEnabled(); }));
        W.Boxes.clear();
        for (const char* ext : {".ccd", ".img", ".sub"})
            fs::rename(W.Dir.File(std::string("disc") + ext), W.Dir.File(std::string("game") + ext));
        return QString::fromStdString(W.Dir.File("game.ccd"));
    }

    void WaitForTheRunToEnd()
    {
        EXPECT_TRUE(WaitFor([&] { return Child<QPushButton>(Frm, "BrowseBtn1")->isEnabled(); }));
        EXPECT_EQ(Frm.Status(), csIdle);
    }
};

} // namespace

TEST_F(ExportflowTest, TheMenuWritesTheSheetBesideTheSetAndTellsWhatItWrote)
{
    const QString ccd = ConvertSet();
    auto* dialog = Child<QFileDialog>(Frm, "ExportOpenDlg");
    QTimer::singleShot(0, dialog, [&] {
        dialog->selectFile(ccd);
        static_cast<QDialog*>(dialog)->accept();
    });
    QAction* action = Child<QAction>(Frm, "FileExport");
    EXPECT_EQ(action->text(), "Export &Cue Sheet...");
    action->trigger();
    WaitForTheRunToEnd();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text.toStdString(), "300 sectors of 1 track written to \"" + W.Dir.File("game.cue") + "\".");
    EXPECT_EQ(fs::file_size(W.Dir.File("game.bin")), 300u * 2352);

    // Outputs that exist are replaced only when the user says so.
    fs::remove(W.Dir.File("game.bin"));
    W.Boxes.clear();
    W.Answers = {QMessageBox::No};
    Frm.ExportCueSheet(ccd);
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_TRUE(W.Boxes[0].Text.startsWith("1 of the files the export writes")) << W.Boxes[0].Text.toStdString();
    EXPECT_FALSE(fs::exists(W.Dir.File("game.bin")));
    W.Answers = {QMessageBox::Yes};
    Frm.ExportCueSheet(ccd);
    WaitForTheRunToEnd();
    EXPECT_EQ(W.Boxes.size(), 3u);
    EXPECT_TRUE(fs::exists(W.Dir.File("game.bin")));
}

TEST_F(ExportflowTest, CancelWritesNothingAndAnUnreadableSetIsAnError)
{
    const QString ccd = ConvertSet();
    QString caption;
    TCancelOnFirstRange::Dialog = W.ProgressDlg.get();
    TCancelOnFirstRange::Before = [&] { caption = W.ProgressDlg->windowTitle(); };
    ASSERT_TRUE(Frm.SetProgressHandler(TCancelOnFirstRange::Handler()));
    Frm.ExportCueSheet(ccd);
    WaitForTheRunToEnd();
    EXPECT_EQ(caption, "Exporting...");
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text, "Export was canceled.");
    EXPECT_FALSE(fs::exists(W.Dir.File("game.cue")));

    ASSERT_TRUE(Frm.SetProgressHandler(W.ProgressDlg->Handler()));
    fs::remove(W.Dir.File("game.img"));
    W.Boxes.clear();
    Frm.ExportCueSheet(ccd);
    WaitForTheRunToEnd();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text, "Cannot export \"" + ccd + "\".");
    EXPECT_NE(W.Boxes[0].Detail.indexOf("game.img"), -1) << W.Boxes[0].Detail.toStdString();
}
