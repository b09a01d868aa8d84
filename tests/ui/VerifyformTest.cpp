// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiFixture.h"

#include "image/Verifyreport.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>

namespace {
QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

class VerifyformTest : public ::testing::Test
{
protected:
    TUiWindows W;
    TMainFrm& Frm = *W.MainFrm;
    QTimer Poll;
    std::string Shown; // the last report window's clipboard text; it is closed as soon as it shows
    int Reports = 0;

    void SetUp() override
    {
        QObject::connect(&Poll, &QTimer::timeout, [this] {
            if (!W.VerifyFrm->isVisible())
                return;
            QGuiApplication::clipboard()->clear();
            Child<QPushButton>(*W.VerifyFrm, "ClipBtn")->click();
            Shown = QGuiApplication::clipboard()->text().toStdString();
            ++Reports;
            Child<QPushButton>(*W.VerifyFrm, "CloseBtn")->click();
        });
        Poll.start(10);
    }

    // A sound set, written by the program's own conversion; answers its .ccd path.
    std::string ConvertCleanSet()
    {
        Frm.OpenCueFile(Q(WriteSingleTrackDisc(W.Dir, 300)));
        Child<QPushButton>(Frm, "ConvBtn")->click();
        EXPECT_TRUE(WaitFor([&] { return Child<QPushButton>(Frm, "ConvBtn")->isEnabled(); }));
        EXPECT_EQ(W.Boxes.size(), 1u);
        W.Boxes.clear();
        return W.Dir.File("disc.ccd");
    }

    // The buttons come back once the worker's closing event has been handled.
    void WaitForTheRunToEnd()
    {
        EXPECT_TRUE(WaitFor([&] { return Child<QPushButton>(Frm, "BrowseBtn1")->isEnabled(); }));
        EXPECT_EQ(Frm.Status(), csIdle);
    }

    // What the command-line tool prints for the set.
    static std::string CliReport(const std::string& ccd)
    {
        TVerifyJob job;
        job.Run(ccd);
        EXPECT_EQ(job.Status.load(), csSucceeded) << job.Error.Text();
        return BuildVerifyText(job.Report);
    }
};
} // namespace

TEST_F(VerifyformTest, MenuVerifiesACleanSetAndRemembersTheFolder)
{
    const std::string ccd = ConvertCleanSet();
    auto* dialog = Child<QFileDialog>(Frm, "VerifyOpenDlg");
    EXPECT_TRUE(dialog->nameFilters().constFirst().contains("*.ccd"));
    QTimer::singleShot(0, dialog, [&] {
        dialog->selectFile(Q(ccd));
        static_cast<QDialog*>(dialog)->accept();
    });
    QAction* action = Child<QAction>(Frm, "FileVerify");
    EXPECT_EQ(action->text(), "&Verify Image...");
    action->trigger();
    WaitForTheRunToEnd();

    EXPECT_TRUE(W.Boxes.empty()) << W.Boxes[0].Text.toStdString();
    EXPECT_EQ(Reports, 1);
    EXPECT_EQ(Shown, CliReport(ccd));
    EXPECT_NE(Shown.find("No problems found: the set is sound."), std::string::npos) << Shown;
    const auto* view = Child<QPlainTextEdit>(*W.VerifyFrm, "ReportView");
    EXPECT_EQ(view->toPlainText().toStdString(), Shown);
    EXPECT_TRUE(QFontInfo(view->font()).fixedPitch());
    EXPECT_EQ(W.VerifyFrm->windowTitle(), "Verify Report");
    // The sheet is still loaded: its buttons are as they were.
    EXPECT_TRUE(Child<QPushButton>(Frm, "PreviewBtn")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(Frm, "ConvBtn")->isEnabled());

    EXPECT_EQ(Frm.LastVerifyDir(), Q(W.Dir.Path().string()));
    Frm.close();
    W.Restart();
    EXPECT_EQ(W.MainFrm->LastVerifyDir(), Q(W.Dir.Path().string()));
}

TEST_F(VerifyformTest, DamagedSetReportNamesTheProblem)
{
    const std::string ccd = ConvertCleanSet();
    {
        std::fstream img(W.Dir.File("disc.img"), std::ios::in | std::ios::out | std::ios::binary);
        img.seekp(10 * 2352 + 100);
        img.put('\x01');
    }
    Frm.VerifyImage(Q(ccd));
    WaitForTheRunToEnd();
    EXPECT_TRUE(W.Boxes.empty());
    EXPECT_EQ(Shown, CliReport(ccd));
    EXPECT_NE(Shown.find("Problems found: 1\n"), std::string::npos) << Shown;
    EXPECT_NE(Shown.find("\n00:02:10        10  EDC "), std::string::npos) << Shown;
}

TEST_F(VerifyformTest, CancelEndsTheRunWithoutAReport)
{
    const std::string ccd = ConvertCleanSet();
    QString caption;
    TCancelOnFirstRange::Dialog = W.ProgressDlg.get();
    TCancelOnFirstRange::Before = [&] { caption = W.ProgressDlg->windowTitle(); };
    ASSERT_TRUE(Frm.SetProgressHandler(TCancelOnFirstRange::Handler()));
    Frm.VerifyImage(Q(ccd));
    WaitForTheRunToEnd();
    EXPECT_EQ(caption, "Verifying...");
    EXPECT_EQ(Reports, 0);
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text, "Verification was canceled.");
    EXPECT_EQ(W.Boxes[0].Caption, "Sarvex");

    // The next run starts idle and ends with its report.
    ASSERT_TRUE(Frm.SetProgressHandler(W.ProgressDlg->Handler()));
    Frm.VerifyImage(Q(ccd));
    WaitForTheRunToEnd();
    EXPECT_EQ(Reports, 1);
    EXPECT_EQ(W.Boxes.size(), 1u);
}

TEST_F(VerifyformTest, UnreadableSetShowsTheFileAndTheReason)
{
    const auto expectError = [&](const std::string& ccd, const std::string& reason) {
        W.Boxes.clear();
        Frm.VerifyImage(Q(ccd));
        WaitForTheRunToEnd();
        ASSERT_EQ(W.Boxes.size(), 1u);
        EXPECT_EQ(W.Boxes[0].Caption, "Error");
        EXPECT_EQ(W.Boxes[0].Icon, QMessageBox::Critical);
        EXPECT_EQ(W.Boxes[0].Text, "Cannot verify \"" + Q(ccd) + "\".");
        EXPECT_EQ(W.Boxes[0].Detail.toStdString(), reason);
    };
    const std::string missing = W.Dir.File("missing.ccd");
    expectError(missing, "cannot open the control file \"" + missing + "\": No such file or directory");
    const std::string bad = W.Dir.Write("bad.ccd", "[Disc]\nTocEntries=x\n");
    expectError(bad, bad + ":2: TocEntries \"x\" is not a number");
    EXPECT_EQ(Reports, 0);
    // No sheet is loaded: the run leaves Preview and Convert off.
    EXPECT_FALSE(Child<QPushButton>(Frm, "PreviewBtn")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(Frm, "ConvBtn")->isEnabled());
}
