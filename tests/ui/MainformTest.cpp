#include "UiFixture.h"

#include "cuesheet/Lucue.h"
#include "support/Sidecar.h"
#include "ui/Platform.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace {
QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

class MainformTest : public ::testing::Test
{
protected:
    TUiWindows W;
    TMainFrm& Frm = *W.MainFrm;

    bool PreviewOn() const { return Frm.PreviewBtn->isEnabled(); }
    bool ConvOn() const { return Frm.ConvBtn->isEnabled(); }
};
} // namespace

TEST(PlatformTest, AbsolutePathsAndFolders)
{
    EXPECT_TRUE(IsDrivePath("/x"));
    EXPECT_TRUE(IsDrivePath("/out/disc.ccd"));
    EXPECT_FALSE(IsDrivePath("/"));
    EXPECT_FALSE(IsDrivePath(""));
    EXPECT_FALSE(IsDrivePath("disc.ccd"));
    EXPECT_FALSE(IsDrivePath("C:\\out\\disc.ccd"));
    EXPECT_FALSE(IsDrivePath(" /x"));

    EXPECT_EQ(FolderOf("/cd/disc.cue"), "/cd");
    EXPECT_EQ(FolderOf("/disc.cue"), "/");
    EXPECT_EQ(FolderOf("/a/b/c.ccd"), "/a/b");
}

TEST_F(MainformTest, ButtonStatesFollowTheSheetAndTheCcdPath)
{
    EXPECT_FALSE(PreviewOn());
    EXPECT_FALSE(ConvOn());
    EXPECT_TRUE(Frm.CorrectCk->isChecked());

    // A .ccd path alone never enables Convert.
    Frm.CcdPathEdit->setText("/out/disc.ccd");
    EXPECT_FALSE(ConvOn());
    Frm.SelectCcdFile("/out/disc.ccd");
    EXPECT_FALSE(ConvOn());

    const std::string cue = WriteSingleTrackDisc(W.Dir, 75);
    Frm.OpenCueFile(Q(cue));
    EXPECT_EQ(Frm.CuePathEdit->text(), Q(cue));
    EXPECT_TRUE(PreviewOn());
    EXPECT_TRUE(ConvOn());
    EXPECT_TRUE(W.Boxes.empty());

    Frm.CcdPathEdit->setText("disc.ccd");
    EXPECT_FALSE(ConvOn());
    EXPECT_TRUE(PreviewOn());
    Frm.CcdPathEdit->setText("/");
    EXPECT_FALSE(ConvOn());
    Frm.CcdPathEdit->setText("/x");
    EXPECT_TRUE(ConvOn());

    // Choosing in the dialog trusts the dialog's path and swaps the extension.
    Frm.SelectCcdFile(Q(W.Dir.File("out.img")));
    EXPECT_EQ(Frm.CcdPathEdit->text(), Q(W.Dir.File("out.ccd")));
    EXPECT_EQ(Frm.LastCcdDir, Q(W.Dir.Path().string()));
    EXPECT_TRUE(ConvOn());
    Frm.SelectCcdFile(Q(W.Dir.File("plain")));
    EXPECT_EQ(Frm.CcdPathEdit->text(), Q(W.Dir.File("plain.ccd")));

    // A failed read after a good one empties the path box and disables both buttons.
    const std::string bad = W.Dir.Write("bad.cue", "FILE \"missing.bin\" BINARY\n  TRACK 01 AUDIO\n");
    Frm.OpenCueFile(Q(bad));
    EXPECT_TRUE(Frm.CuePathEdit->text().isEmpty());
    EXPECT_FALSE(PreviewOn());
    EXPECT_FALSE(ConvOn());
    EXPECT_EQ(Frm.LastCueDir, Q(W.Dir.Path().string()));
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Caption, "Error");
    EXPECT_EQ(W.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(W.Boxes[0].Buttons, QMessageBox::Ok);
    EXPECT_EQ(W.Boxes[0].Text, "Invalid CUE SHEET command at line 1\nUnable to find or open FILE");

    // With no sheet, typing a good path keeps Convert off.
    Frm.CcdPathEdit->setText("/out/other.ccd");
    EXPECT_FALSE(ConvOn());
}

TEST_F(MainformTest, CueOpenDialogRemembersTheFolder)
{
    const std::string cue = WriteSingleTrackDisc(W.Dir, 75);
    QTimer::singleShot(0, Frm.CueOpenDlg, [&] {
        Frm.CueOpenDlg->selectFile(Q(cue));
        static_cast<QDialog*>(Frm.CueOpenDlg)->accept();
    });
    Frm.BrowseBtn1->click();
    EXPECT_EQ(Frm.CuePathEdit->text(), Q(cue));
    EXPECT_EQ(Frm.LastCueDir, Q(W.Dir.Path().string()));

    // Cancelling the dialog changes nothing.
    QTimer::singleShot(0, Frm.CueOpenDlg, [&] { Frm.CueOpenDlg->reject(); });
    Frm.FileSelectCue->trigger();
    EXPECT_EQ(Frm.CuePathEdit->text(), Q(cue));
    EXPECT_TRUE(PreviewOn());
}

namespace {
class ConversionTest : public MainformTest
{
protected:
    std::string Ccd, Img, Sub;

    void SetUp() override
    {
        Frm.OpenCueFile(Q(WriteSingleTrackDisc(W.Dir, 300)));
        Ccd = W.Dir.File("out.ccd");
        Img = W.Dir.File("out.img");
        Sub = W.Dir.File("out.sub");
        Frm.CcdPathEdit->setText(Q(Ccd));
        ASSERT_TRUE(ConvOn());
    }

    // Clicks Convert; it returns after the progress dialog has closed and the result was shown.
    void Convert()
    {
        Frm.ConvBtn->click();
        // The worker enables the buttons again after its closing event.
        EXPECT_TRUE(WaitFor([&] { return ConvOn(); }));
        EXPECT_EQ(Frm.Status(), csIdle);
    }

    static QString Question(const std::string& path)
    {
        return "\"" + Q(path) + "\" already exists. Will you overwrite it?";
    }
};

std::uintmax_t Size(const std::string& path)
{
    return std::filesystem::file_size(path);
}
} // namespace

TEST_F(ConversionTest, SucceedsAndReportsIt)
{
    Convert();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text, "Operation was successfull.");
    EXPECT_EQ(W.Boxes[0].Caption, "Sarvex");
    EXPECT_EQ(W.Boxes[0].Icon, QMessageBox::NoIcon);
    EXPECT_EQ(Size(Img), 300u * 2352);
    EXPECT_EQ(Size(Sub), 300u * 96);
    EXPECT_GT(Size(Ccd), 0u);
    // Range 0 to 300 div 75 + 3, filled at the end.
    EXPECT_EQ(W.ProgressDlg->ProgressBar->maximum(), 7);
    EXPECT_EQ(W.ProgressDlg->ProgressBar->value(), 7);
    EXPECT_FALSE(W.ProgressDlg->isVisible());
    for (QPushButton* button : {Frm.BrowseBtn1, Frm.BrowseBtn2, Frm.PreviewBtn, Frm.ConvBtn})
        EXPECT_TRUE(button->isEnabled());
}

TEST_F(ConversionTest, AsksBeforeEachExistingFileInOrder)
{
    for (const std::string& path : {Ccd, Img, Sub})
        W.Dir.Write(std::filesystem::path(path).filename().string(), "old");
    Convert();
    ASSERT_EQ(W.Boxes.size(), 4u);
    EXPECT_EQ(W.Boxes[0].Text, Question(Ccd));
    EXPECT_EQ(W.Boxes[1].Text, Question(Img));
    EXPECT_EQ(W.Boxes[2].Text, Question(Sub));
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(W.Boxes[i].Caption, "Confirm");
        EXPECT_EQ(W.Boxes[i].Icon, QMessageBox::Question);
        EXPECT_EQ(W.Boxes[i].Buttons, QMessageBox::Ok | QMessageBox::Cancel);
    }
    EXPECT_EQ(W.Boxes[3].Text, "Operation was successfull.");
    EXPECT_EQ(Size(Img), 300u * 2352);
}

TEST_F(ConversionTest, CancelInTheFirstQuestionStopsEverything)
{
    for (const std::string& path : {Ccd, Img, Sub})
        W.Dir.Write(std::filesystem::path(path).filename().string(), "old");
    W.Answers = {QMessageBox::Cancel};
    Frm.ConvBtn->click();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text, Question(Ccd));
    for (const std::string& path : {Ccd, Img, Sub})
        EXPECT_EQ(TTempDir::ReadAll(path), "old");
    EXPECT_EQ(Frm.CcdPathEdit->text(), Q(Ccd));
}

TEST_F(ConversionTest, ReadOnlyImageIsNotOverwritten)
{
    W.Dir.Write("out.img", "old");
    ASSERT_EQ(::chmod(Img.c_str(), 0444), 0);
    Convert();
    ASSERT_EQ(W.Boxes.size(), 2u);
    EXPECT_EQ(W.Boxes[0].Text, Question(Img));
    EXPECT_EQ(W.Boxes[1].Text, "\"" + Q(Img) + "\" is a read-only file.");
    EXPECT_EQ(W.Boxes[1].Caption, "Error");
    EXPECT_EQ(W.Boxes[1].Icon, QMessageBox::Critical);
    EXPECT_FALSE(std::filesystem::exists(Ccd));
    EXPECT_EQ(TTempDir::ReadAll(Img), "old");
}

TEST_F(ConversionTest, FailureIsReportedAsAnError)
{
    Frm.CcdPathEdit->setText(Q(W.Dir.File("no-such-folder/out.ccd")));
    Convert();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text, "Operation was failure.");
    EXPECT_EQ(W.Boxes[0].Caption, "Error");
    EXPECT_EQ(W.Boxes[0].Icon, QMessageBox::Critical);
}

namespace {
// Presses the dialog's Cancel button, as the user would, as soon as the job has set its range.
TProgressDlg* CancellingDialog = nullptr;
TMainFrm* RunningFrm = nullptr;
int ButtonsEnabledDuringRun = -1; // how many of the four buttons were on while the job ran

std::int32_t CancelOnFirstRange(TProgressEvent event, std::int32_t value, void* dialog)
{
    const std::int32_t result = TProgressDlg::ProgressProc(event, value, dialog);
    if (event == peSetRange && value > 2)
        QMetaObject::invokeMethod(
            CancellingDialog,
            [] {
                ButtonsEnabledDuringRun = 0;
                for (QPushButton* button :
                     {RunningFrm->BrowseBtn1, RunningFrm->BrowseBtn2, RunningFrm->PreviewBtn, RunningFrm->ConvBtn})
                    ButtonsEnabledDuringRun += button->isEnabled();
                CancellingDialog->CancelBtn->click();
            },
            Qt::BlockingQueuedConnection);
    return result;
}
} // namespace

TEST_F(ConversionTest, CancelButtonStopsTheJob)
{
    CancellingDialog = W.ProgressDlg.get();
    RunningFrm = &Frm;
    ASSERT_TRUE(Frm.SetProgressHandler(&CancelOnFirstRange, W.ProgressDlg.get()));
    Convert();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text, "Operation was canceled.");
    EXPECT_EQ(W.Boxes[0].Caption, "Sarvex");
    EXPECT_EQ(ButtonsEnabledDuringRun, 0);
    EXPECT_EQ(Size(Img), 0u);
    EXPECT_EQ(Size(Sub), 0u);

    // The next run starts from an idle status and succeeds.
    ASSERT_TRUE(Frm.SetProgressHandler(&TProgressDlg::ProgressProc, W.ProgressDlg.get()));
    W.Boxes.clear();
    Convert();
    EXPECT_EQ(W.Boxes.back().Text, "Operation was successfull.");
    EXPECT_EQ(Size(Img), 300u * 2352);
}

TEST_F(ConversionTest, DeletedCueSheetMakesConvertDoNothing)
{
    std::filesystem::remove(Frm.CuePathEdit->text().toStdString());
    Frm.ConvBtn->click();
    EXPECT_TRUE(W.Boxes.empty());
    EXPECT_FALSE(std::filesystem::exists(Ccd));
}

TEST_F(MainformTest, WindowResizesInWidthOnly)
{
    Frm.show();
    EXPECT_EQ(Frm.minimumSize(), QSize(470, 158));
    EXPECT_EQ(Frm.maximumHeight(), 158);
    Frm.resize(300, 400);
    EXPECT_EQ(Frm.size(), QSize(470, 158));
    Frm.resize(700, 100);
    EXPECT_EQ(Frm.size(), QSize(700, 158));
    // Right-anchored controls follow the edge; the path boxes stretch.
    EXPECT_EQ(Frm.width() - Frm.ConvBtn->geometry().right(), 700 - (389 + 239 + 54));
    EXPECT_EQ(Frm.CuePathEdit->width(), 303 + 239);
    EXPECT_EQ(Frm.CorrectCk->geometry(), QRect(16, 76, 302, 17));
}

TEST_F(MainformTest, DroppedCueSheetIsRead)
{
    const std::string cue = WriteSingleTrackDisc(W.Dir, 75);
    const auto drop = [&](const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(Q(path))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Frm, &enter);
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Frm, &dropped);
        QCoreApplication::processEvents();
        return enter.isAccepted();
    };
    EXPECT_FALSE(drop(W.Dir.File("disc.bin")));
    EXPECT_TRUE(Frm.CuePathEdit->text().isEmpty());
    EXPECT_TRUE(drop(cue));
    EXPECT_EQ(Frm.CuePathEdit->text(), Q(cue));
    EXPECT_EQ(Frm.LastCueDir, Q(W.Dir.Path().string()));
    EXPECT_TRUE(PreviewOn());
}

TEST(ApplicationTest, ExceptionInAHandlerIsShownNotFatal)
{
    std::vector<TMessageBoxCall> boxes;
    SetMessageBoxAnswerer([&](const TMessageBoxCall& call) {
        boxes.push_back(call);
        return QMessageBox::Ok;
    });
    QObject target;
    QTimer::singleShot(0, &target, [] { throw std::runtime_error("disk on fire"); });
    EXPECT_TRUE(WaitFor([&] { return !boxes.empty(); }, 2000));
    SetMessageBoxAnswerer(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "disk on fire");
    EXPECT_EQ(boxes[0].Caption, "Sarvex");
    EXPECT_EQ(boxes[0].Icon, QMessageBox::Critical);
}

// The side-car beside the sheet is loaded with it: a damaged one refuses the sheet, an empty one warns.
TEST_F(MainformTest, ASideCarIsLoadedWithTheSheet)
{
    const std::string cue = WriteSingleTrackDisc(W.Dir, 75, "Game");
    W.Dir.Write("GAME.SBI", sidecar::SBI_HEADER + sidecar::Bytes({0x00, 0x02, 0x10, 0x03, 0x00, 0x02, 0x11}));
    Frm.OpenCueFile(Q(cue));
    EXPECT_TRUE(PreviewOn());
    EXPECT_EQ(Frm.CueSheet.SubQPatchFile, W.Dir.File("GAME.SBI"));
    EXPECT_EQ(Frm.CueSheet.SubQPatches.size(), 1u);
    EXPECT_TRUE(W.Boxes.empty());

    W.Dir.Write("GAME.SBI", sidecar::SBI_HEADER + sidecar::Bytes({0x00, 0x02, 0x10, 0x07}));
    Frm.OpenCueFile(Q(cue));
    EXPECT_FALSE(PreviewOn());
    EXPECT_TRUE(Frm.CuePathEdit->text().isEmpty());
    EXPECT_TRUE(Frm.CueSheet.SubQPatchFile.empty());
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Caption, "Error");
    EXPECT_EQ(W.Boxes[0].Text, "GAME.SBI: record 1 has type 7, not 1, 2 or 3");

    W.Dir.Write("GAME.SBI", sidecar::SBI_HEADER);
    Frm.OpenCueFile(Q(cue));
    EXPECT_TRUE(PreviewOn());
    ASSERT_EQ(W.Boxes.size(), 2u);
    EXPECT_EQ(W.Boxes[1].Icon, QMessageBox::Warning);
    EXPECT_EQ(W.Boxes[1].Text, "GAME.SBI: holds no records");
}
