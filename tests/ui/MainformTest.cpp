// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiFixture.h"

#include "cuesheet/Lucue.h"
#include "support/Audio.h"
#include "support/Sidecar.h"
#include "ui/Platform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QListView>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QProgressDialog>
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
    QLineEdit* CuePathEdit = Child<QLineEdit>(Frm, "CuePathEdit");
    QLineEdit* CcdPathEdit = Child<QLineEdit>(Frm, "CcdPathEdit");

    // Drags the data over the window and drops it at a point of the window; answers whether it was taken.
    bool Drop(QMimeData& data, QPoint at)
    {
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Frm, &enter);
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Frm, &dropped);
        QCoreApplication::processEvents();
        return enter.isAccepted();
    }

    bool PreviewOn() const { return Child<QPushButton>(Frm, "PreviewBtn")->isEnabled(); }
    bool ConvOn() const { return Child<QPushButton>(Frm, "ConvBtn")->isEnabled(); }
};
} // namespace

TEST(PlatformTest, AbsolutePathsAndFolders)
{
    EXPECT_TRUE(IsAbsoluteOutputPath("/x"));
    EXPECT_TRUE(IsAbsoluteOutputPath("/out/disc.ccd"));
    EXPECT_FALSE(IsAbsoluteOutputPath("/"));
    EXPECT_FALSE(IsAbsoluteOutputPath(""));
    EXPECT_FALSE(IsAbsoluteOutputPath("disc.ccd"));
    EXPECT_FALSE(IsAbsoluteOutputPath("C:\\out\\disc.ccd"));
    EXPECT_FALSE(IsAbsoluteOutputPath(" /x"));

    EXPECT_EQ(FolderOf(QStringLiteral("/cd/disc.cue")), "/cd");
    EXPECT_EQ(FolderOf(QStringLiteral("/disc.cue")), "/");
    EXPECT_EQ(FolderOf(QStringLiteral("/a/b/c.ccd")), "/a/b");
}

TEST_F(MainformTest, ButtonStatesFollowTheSheetAndTheCcdPath)
{
    EXPECT_FALSE(PreviewOn());
    EXPECT_FALSE(ConvOn());
    EXPECT_TRUE(Child<QCheckBox>(Frm, "CorrectCk")->isChecked());

    // A .ccd path alone never enables Convert.
    Child<QLineEdit>(Frm, "CcdPathEdit")->setText("/out/disc.ccd");
    EXPECT_FALSE(ConvOn());
    Frm.SelectCcdFile("/out/disc.ccd");
    EXPECT_FALSE(ConvOn());

    const std::string cue = WriteSingleTrackDisc(W.Dir, 300);
    Frm.OpenCueFile(Q(cue));
    EXPECT_EQ(Child<QLineEdit>(Frm, "CuePathEdit")->text(), Q(cue));
    EXPECT_TRUE(PreviewOn());
    EXPECT_TRUE(ConvOn());
    EXPECT_TRUE(W.Boxes.empty());

    Child<QLineEdit>(Frm, "CcdPathEdit")->setText("disc.ccd");
    EXPECT_FALSE(ConvOn());
    EXPECT_TRUE(PreviewOn());
    Child<QLineEdit>(Frm, "CcdPathEdit")->setText("/");
    EXPECT_FALSE(ConvOn());
    Child<QLineEdit>(Frm, "CcdPathEdit")->setText("/x");
    EXPECT_TRUE(ConvOn());

    // Choosing in the dialog trusts the dialog's path and swaps the extension.
    Frm.SelectCcdFile(Q(W.Dir.File("out.img")));
    EXPECT_EQ(Child<QLineEdit>(Frm, "CcdPathEdit")->text(), Q(W.Dir.File("out.ccd")));
    EXPECT_EQ(Frm.LastCcdDir(), Q(W.Dir.Path().string()));
    EXPECT_TRUE(ConvOn());
    Frm.SelectCcdFile(Q(W.Dir.File("plain")));
    EXPECT_EQ(Child<QLineEdit>(Frm, "CcdPathEdit")->text(), Q(W.Dir.File("plain.ccd")));

    // A failed read after a good one empties the path box and disables both buttons.
    const std::string bad = W.Dir.Write("bad.cue", "FILE \"missing.bin\" BINARY\n  TRACK 01 AUDIO\n");
    Frm.OpenCueFile(Q(bad));
    EXPECT_TRUE(Child<QLineEdit>(Frm, "CuePathEdit")->text().isEmpty());
    EXPECT_FALSE(PreviewOn());
    EXPECT_FALSE(ConvOn());
    EXPECT_EQ(Frm.LastCueDir(), Q(W.Dir.Path().string()));
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Caption, "Error");
    EXPECT_EQ(W.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(W.Boxes[0].Buttons, QMessageBox::Ok);
    EXPECT_EQ(W.Boxes[0].Text,
              "Invalid CUE SHEET command at line 1\nUnable to find or open FILE\nmissing.bin: no such file");
    EXPECT_EQ(W.Boxes[0].Detail,
              "The sheet names \"missing.bin\"; the file looked for was \"" + Q(W.Dir.File("missing.bin")) + "\".");

    // With no sheet, typing a good path keeps Convert off.
    Child<QLineEdit>(Frm, "CcdPathEdit")->setText("/out/other.ccd");
    EXPECT_FALSE(ConvOn());
}

TEST_F(MainformTest, CueOpenDialogRemembersTheFolder)
{
    const std::string cue = WriteSingleTrackDisc(W.Dir, 300);
    QTimer::singleShot(0, Child<QFileDialog>(Frm, "CueOpenDlg"), [&] {
        Child<QFileDialog>(Frm, "CueOpenDlg")->selectFile(Q(cue));
        static_cast<QDialog*>(Child<QFileDialog>(Frm, "CueOpenDlg"))->accept();
    });
    Child<QPushButton>(Frm, "BrowseBtn1")->click();
    EXPECT_EQ(Child<QLineEdit>(Frm, "CuePathEdit")->text(), Q(cue));
    EXPECT_EQ(Frm.LastCueDir(), Q(W.Dir.Path().string()));

    // Cancelling the dialog changes nothing.
    QTimer::singleShot(0, Child<QFileDialog>(Frm, "CueOpenDlg"),
                       [&] { Child<QFileDialog>(Frm, "CueOpenDlg")->reject(); });
    Child<QAction>(Frm, "FileSelectCue")->trigger();
    EXPECT_EQ(Child<QLineEdit>(Frm, "CuePathEdit")->text(), Q(cue));
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
        Child<QLineEdit>(Frm, "CcdPathEdit")->setText(Q(Ccd));
        ASSERT_TRUE(ConvOn());
    }

    // Clicks Convert; it returns after the progress dialog has closed and the result was shown.
    void Convert()
    {
        Child<QPushButton>(Frm, "ConvBtn")->click();
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
    EXPECT_EQ(W.Boxes[0].Detail,
              "300 sectors written to \"" + Q(Img) + "\" and \"" + Q(Sub) + "\", described by \"" + Q(Ccd) + "\".");
    EXPECT_EQ(W.Boxes[0].Caption, "Sarvex");
    EXPECT_EQ(W.Boxes[0].Icon, QMessageBox::NoIcon);
    EXPECT_EQ(Size(Img), 300u * 2352);
    EXPECT_EQ(Size(Sub), 300u * 96);
    EXPECT_GT(Size(Ccd), 0u);
    // Range 0 to 300 div 75 + 3, filled at the end.
    EXPECT_EQ(Child<QProgressBar>(*W.ProgressDlg, "ProgressBar")->maximum(), 7);
    EXPECT_EQ(Child<QProgressBar>(*W.ProgressDlg, "ProgressBar")->value(), 7);
    EXPECT_FALSE(W.ProgressDlg->isVisible());
    for (QPushButton* button : {Child<QPushButton>(Frm, "BrowseBtn1"), Child<QPushButton>(Frm, "BrowseBtn2"),
                                Child<QPushButton>(Frm, "PreviewBtn"), Child<QPushButton>(Frm, "ConvBtn")})
        EXPECT_TRUE(button->isEnabled());
}

TEST_F(ConversionTest, AsksOnceListingTheExistingFilesNoByDefault)
{
    const struct
    {
        std::vector<std::string> Existing;
        QString Question;
    } cases[] = {
        {{Img}, Question(Img)},
        {{Ccd, Sub}, "These files already exist:\n\"" + Q(Ccd) + "\"\n\"" + Q(Sub) + "\"\nWill you overwrite them?"},
    };
    for (const auto& c : cases)
    {
        for (const std::string& path : {Ccd, Img, Sub})
            std::filesystem::remove(path);
        for (const std::string& path : c.Existing)
            W.Dir.Write(std::filesystem::path(path).filename().string(), "old");
        W.Boxes.clear();
        Convert();
        ASSERT_EQ(W.Boxes.size(), 2u);
        EXPECT_EQ(W.Boxes[0].Text, c.Question);
        EXPECT_EQ(W.Boxes[0].Caption, "Confirm");
        EXPECT_EQ(W.Boxes[0].Icon, QMessageBox::Question);
        EXPECT_EQ(W.Boxes[0].Buttons, QMessageBox::Yes | QMessageBox::No);
        const auto box = MakeMessageBox(&Frm, W.Boxes[0]);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::No));
        EXPECT_EQ(W.Boxes[1].Text, "Operation was successfull.");
        EXPECT_EQ(Size(Img), 300u * 2352);
    }
}

TEST_F(ConversionTest, CancelInTheFirstQuestionStopsEverything)
{
    for (const std::string& path : {Ccd, Img, Sub})
        W.Dir.Write(std::filesystem::path(path).filename().string(), "old");
    W.Answers = {QMessageBox::No};
    Child<QPushButton>(Frm, "ConvBtn")->click();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_TRUE(W.Boxes[0].Text.endsWith("Will you overwrite them?"));
    for (const std::string& path : {Ccd, Img, Sub})
        EXPECT_EQ(TTempDir::ReadAll(path), "old");
    EXPECT_EQ(Child<QLineEdit>(Frm, "CcdPathEdit")->text(), Q(Ccd));
}

// A link that leads nowhere cannot be written through: read-only, as the command-line tool says too.
TEST_F(ConversionTest, ReadOnlyImageIsNotOverwritten)
{
    W.Dir.Write("old.img", "old");
    ASSERT_EQ(::chmod(W.Dir.File("old.img").c_str(), 0444), 0);
    for (const char* target : {"old.img", "gone.img"})
    {
        SCOPED_TRACE(target);
        std::filesystem::remove(Img);
        std::filesystem::create_symlink(W.Dir.File(target), Img);
        W.Boxes.clear();
        Convert();
        // Said before any question, which would be in vain.
        ASSERT_EQ(W.Boxes.size(), 1u);
        EXPECT_EQ(W.Boxes[0].Text, "\"" + Q(Img) + "\" is a read-only file.");
        EXPECT_EQ(W.Boxes[0].Caption, "Error");
        EXPECT_EQ(W.Boxes[0].Icon, QMessageBox::Critical);
        EXPECT_FALSE(std::filesystem::exists(Ccd));
        EXPECT_FALSE(std::filesystem::exists(W.Dir.File("gone.img")));
    }
    EXPECT_EQ(TTempDir::ReadAll(W.Dir.File("old.img")), "old");
}

TEST_F(ConversionTest, FailureIsReportedAsAnErrorWithItsCause)
{
    CcdPathEdit->setText(Q(W.Dir.File("no-such-folder/out.ccd")));
    Convert();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text, "Operation was failure.");
    EXPECT_EQ(W.Boxes[0].Caption, "Error");
    EXPECT_EQ(W.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(W.Boxes[0].Detail, "The output folder \"" + Q(W.Dir.File("no-such-folder")) + "\" does not exist.");

    // A folder given as the .ccd path.
    std::filesystem::create_directory(W.Dir.File("folder.ccd"));
    CcdPathEdit->setText(Q(W.Dir.File("folder.ccd")));
    W.Boxes.clear();
    Convert();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text, "Operation was failure.");
    EXPECT_TRUE(W.Boxes[0].Detail.contains(Q(W.Dir.File("folder.ccd")))) << W.Boxes[0].Detail.toStdString();
    EXPECT_TRUE(W.Boxes[0].Detail.contains("Is a directory")) << W.Boxes[0].Detail.toStdString();
}

// The image would overwrite the control file: refused before any question or file.
TEST_F(ConversionTest, CcdPathThatIsItsOwnImageIsRefused)
{
    W.Dir.Write("same.IMG", "old");
    CcdPathEdit->setText(Q(W.Dir.File("same.IMG")));
    ASSERT_TRUE(ConvOn());
    Frm.findChild<QPushButton*>("ConvBtn")->click();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Caption, "Error");
    EXPECT_EQ(W.Boxes[0].Text, "\"" + Q(W.Dir.File("same.IMG")) +
                                   "\" cannot be the .ccd file: its .img file would be the same file. Choose a name "
                                   "that ends in .ccd.");
    EXPECT_EQ(TTempDir::ReadAll(W.Dir.File("same.IMG")), "old");
    EXPECT_FALSE(std::filesystem::exists(W.Dir.File("same.sub")));
}

// An output that is the sheet's own data file: no overwrite question, the reason in the box.
TEST_F(ConversionTest, OutputThatIsAnInputIsRefusedBeforeAnyQuestion)
{
    const std::string data(300 * 2352, '\x5A');
    W.Dir.Write("game.img", data);
    W.Dir.Write("game.cue", "FILE \"game.img\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n");
    Frm.OpenCueFile(Q(W.Dir.File("game.cue")));
    CcdPathEdit->setText(Q(W.Dir.File("game.ccd")));
    Frm.findChild<QPushButton*>("ConvBtn")->click();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Caption, "Error");
    EXPECT_EQ(W.Boxes[0].Text,
              "\"" + Q(W.Dir.File("game.img")) + "\" is an input of the conversion and cannot be overwritten.");
    EXPECT_EQ(TTempDir::ReadAll(W.Dir.File("game.img")), data);
    EXPECT_FALSE(std::filesystem::exists(W.Dir.File("game.ccd")));
}

TEST_F(ConversionTest, EnterOnAButtonOrInTheCcdBoxConverts)
{
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(Frm.findChild<QPushButton*>("ConvBtn"), &enter);
    EXPECT_TRUE(WaitFor([&] { return ConvOn(); }));
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text, "Operation was successfull.");

    std::filesystem::remove(Img);
    QCoreApplication::sendEvent(CcdPathEdit, &enter);
    EXPECT_TRUE(WaitFor([&] { return ConvOn(); }));
    EXPECT_EQ(W.Boxes.back().Text, "Operation was successfull.");
    EXPECT_EQ(Size(Img), 300u * 2352);

    // Not with a path Convert would refuse.
    W.Boxes.clear();
    CcdPathEdit->setText("out.ccd");
    QCoreApplication::sendEvent(CcdPathEdit, &enter);
    EXPECT_TRUE(W.Boxes.empty());
}

TEST_F(ConversionTest, CancelButtonStopsTheJob)
{
    int buttonsOnDuringRun = -1; // how many of the four buttons were on while the job ran
    TCancelOnFirstRange::Dialog = W.ProgressDlg.get();
    TCancelOnFirstRange::Before = [&] {
        buttonsOnDuringRun = 0;
        for (const char* name : {"BrowseBtn1", "BrowseBtn2", "PreviewBtn", "ConvBtn"})
            buttonsOnDuringRun += Child<QPushButton>(Frm, name)->isEnabled();
    };
    ASSERT_TRUE(Frm.SetProgressHandler(TCancelOnFirstRange::Handler()));
    Convert();
    ASSERT_EQ(W.Boxes.size(), 1u);
    EXPECT_EQ(W.Boxes[0].Text, "Operation was canceled.");
    EXPECT_EQ(W.Boxes[0].Caption, "Sarvex");
    EXPECT_EQ(buttonsOnDuringRun, 0);
    // The desktop program's cancel keeps nothing of the run.
    EXPECT_FALSE(std::filesystem::exists(Img));
    EXPECT_FALSE(std::filesystem::exists(Ccd));

    // The next run starts from an idle status and succeeds.
    ASSERT_TRUE(Frm.SetProgressHandler(W.ProgressDlg->Handler()));
    W.Boxes.clear();
    Convert();
    EXPECT_EQ(W.Boxes.back().Text, "Operation was successfull.");
    EXPECT_EQ(Size(Img), 300u * 2352);
}

// A name typed without an extension gets .ccd, in the box too.
TEST_F(ConversionTest, TypedPathWithoutAnExtensionGetsCcd)
{
    for (const char* typed : {"myimage", "myimage."})
    {
        CcdPathEdit->setText(Q(W.Dir.File(typed)));
        Convert();
        EXPECT_EQ(CcdPathEdit->text(), Q(W.Dir.File("myimage.ccd")));
        EXPECT_GT(Size(W.Dir.File("myimage.ccd")), 0u);
        EXPECT_FALSE(std::filesystem::exists(W.Dir.File(typed)));
    }
}

// Verify Image offers the set just written.
TEST_F(ConversionTest, VerifyStartsAtTheSetJustWritten)
{
    Convert();
    auto* verifyDlg = Child<QFileDialog>(Frm, "VerifyOpenDlg");
    QString folder, file;
    QTimer::singleShot(0, verifyDlg, [&] {
        folder = verifyDlg->directory().absolutePath();
        file = verifyDlg->selectedFiles().value(0);
        verifyDlg->reject();
    });
    Child<QAction>(Frm, "FileVerify")->trigger();
    EXPECT_EQ(folder, Q(W.Dir.Path().string()));
    EXPECT_EQ(file, Q(Ccd));
}

TEST_F(ConversionTest, DeletedCueSheetMakesConvertDoNothing)
{
    std::filesystem::remove(Child<QLineEdit>(Frm, "CuePathEdit")->text().toStdString());
    Child<QPushButton>(Frm, "ConvBtn")->click();
    EXPECT_TRUE(W.Boxes.empty());
    EXPECT_FALSE(std::filesystem::exists(Ccd));
}

TEST_F(MainformTest, WindowResizesInWidthOnly)
{
    Frm.show();
    const int height = FormHeight(Frm);
    EXPECT_EQ(Frm.minimumSize(), QSize(470, height));
    EXPECT_EQ(Frm.maximumHeight(), height);
    Frm.resize(300, 400);
    EXPECT_EQ(Frm.size(), QSize(470, height));
    Frm.resize(700, 100);
    EXPECT_EQ(Frm.size(), QSize(700, height));
    // No empty band: the last row ends as far above the bottom as the first starts below the menu.
    const QWidget* client = Child<QWidget>(Frm, "ClientArea");
    EXPECT_EQ(client->height() - Child<QPushButton>(Frm, "ConvBtn")->geometry().bottom() - 1, 8);
    // Right-anchored controls follow the edge; the path boxes stretch.
    EXPECT_EQ(Frm.width() - Child<QPushButton>(Frm, "ConvBtn")->geometry().right(), 700 - (389 + 239 + 54));
    EXPECT_EQ(Child<QLineEdit>(Frm, "CuePathEdit")->width(), 303 + 239);
    EXPECT_EQ(Child<QCheckBox>(Frm, "CorrectCk")->geometry(), QRect(16, 76, 302, 17));
}

TEST_F(MainformTest, DroppedCueSheetIsRead)
{
    const std::string cue = WriteSingleTrackDisc(W.Dir, 300);
    const auto drop = [&](const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(Q(path))});
        return Drop(data, QPoint(10, 10));
    };
    EXPECT_FALSE(drop(W.Dir.File("disc.bin")));
    EXPECT_TRUE(Child<QLineEdit>(Frm, "CuePathEdit")->text().isEmpty());
    EXPECT_TRUE(drop(cue));
    EXPECT_EQ(Child<QLineEdit>(Frm, "CuePathEdit")->text(), Q(cue));
    EXPECT_EQ(Frm.LastCueDir(), Q(W.Dir.Path().string()));
    EXPECT_TRUE(PreviewOn());
}

TEST_F(MainformTest, DropsOnThePathBoxes)
{
    const std::string cue = WriteSingleTrackDisc(W.Dir, 300);
    const QPoint onCcdBox = CcdPathEdit->mapTo(&Frm, CcdPathEdit->rect().center());
    CcdPathEdit->setText("/typed/path.ccd");

    // A file manager's drag carries the URL and its text; the sheet is read, the box keeps its text.
    QMimeData sheet;
    sheet.setUrls({QUrl::fromLocalFile(Q(cue))});
    sheet.setText(QUrl::fromLocalFile(Q(cue)).toString());
    EXPECT_TRUE(Drop(sheet, onCcdBox));
    EXPECT_EQ(CuePathEdit->text(), Q(cue));
    EXPECT_EQ(CcdPathEdit->text(), "/typed/path.ccd");

    QMimeData ccd;
    ccd.setText(QUrl::fromLocalFile("/out/disc.ccd").toString()); // text alone
    EXPECT_TRUE(Drop(ccd, onCcdBox));
    EXPECT_EQ(CcdPathEdit->text(), "/out/disc.ccd");
    Drop(ccd, CuePathEdit->mapTo(&Frm, CuePathEdit->rect().center()));
    EXPECT_EQ(CuePathEdit->text(), Q(cue));

    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(Q(W.Dir.File("disc.bin")))});
    EXPECT_FALSE(Drop(other, onCcdBox));
    EXPECT_EQ(CcdPathEdit->text(), "/out/disc.ccd");
}

TEST_F(MainformTest, ChoosingASheetFillsTheDefaultCcdPathAndSaysWhatIsMissing)
{
    QPushButton* convBtn = Child<QPushButton>(Frm, "ConvBtn");
    EXPECT_FALSE(convBtn->toolTip().isEmpty());
    const std::string cue = WriteSingleTrackDisc(W.Dir, 300);
    Frm.OpenCueFile(Q(cue));
    EXPECT_EQ(CcdPathEdit->text(), Q(W.Dir.File("disc.ccd")));
    EXPECT_TRUE(ConvOn());
    EXPECT_TRUE(convBtn->toolTip().isEmpty());

    for (const char* path : {"~/disc.ccd", "disc.ccd"})
    {
        CcdPathEdit->setText(path);
        EXPECT_FALSE(ConvOn());
        EXPECT_EQ(CcdPathEdit->toolTip(), "The .ccd path must be absolute: it starts with /.");
        EXPECT_EQ(convBtn->toolTip(), CcdPathEdit->toolTip());
    }
    // A path the user typed is never replaced.
    Frm.OpenCueFile(Q(cue));
    EXPECT_EQ(CcdPathEdit->text(), "disc.ccd");
}

// The .ccd path of the sheet before never names the next sheet's set; the title names the sheet.
TEST_F(MainformTest, TheCcdPathAndTheTitleFollowTheSheet)
{
    const std::string a = WriteSingleTrackDisc(W.Dir, 300, "a");
    const std::string b = WriteSingleTrackDisc(W.Dir, 300, "b");
    const std::string c = WriteSingleTrackDisc(W.Dir, 300, "c");
    EXPECT_EQ(Frm.windowTitle(), "Sarvex");
    const struct
    {
        std::string Sheet;
        QString Typed; // empty: the box as the sheet before left it
        QString Ccd;
        QString Title;
    } steps[] = {
        {a, {}, Q(W.Dir.File("a.ccd")), QString::fromUtf8("a.cue \u2014 Sarvex")},
        {b, {}, Q(W.Dir.File("b.ccd")), QString::fromUtf8("b.cue \u2014 Sarvex")},    // a default follows
        {c, "/out/mine.ccd", "/out/c.ccd", QString::fromUtf8("c.cue \u2014 Sarvex")}, // typed: folder kept
        {W.Dir.Write("bad.cue", "FILE \"x.bin\" BINARY\n"), {}, "/out/c.ccd", "Sarvex"},
    };
    for (const auto& step : steps)
    {
        if (!step.Typed.isEmpty())
            CcdPathEdit->setText(step.Typed);
        Frm.OpenCueFile(Q(step.Sheet));
        EXPECT_EQ(CcdPathEdit->text(), step.Ccd) << step.Sheet;
        EXPECT_EQ(Frm.windowTitle(), step.Title) << step.Sheet;
    }
}

// Cancelling the count of a new sheet's audio leaves the sheet loaded before, with no box.
TEST_F(MainformTest, CanceledCountKeepsTheSheetBefore)
{
    const std::string cue = WriteSingleTrackDisc(W.Dir, 300);
    Frm.OpenCueFile(Q(cue));
    ASSERT_TRUE(RunEncoder("ffmpeg -nostdin -f lavfi -i anoisesrc=r=44100:d=60 -ac 2 -c:a libvorbis " +
                           Quoted(W.Dir.File("long.ogg"))));
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, &Frm, [&] {
        if (auto* bar = Frm.findChild<QProgressDialog*>())
            bar->cancel();
    });
    press.start(1);
    // Eight counts of it: time enough for the press, however busy the machine.
    std::string sheet;
    for (int track = 1; track <= 8; ++track)
        sheet += "FILE \"long.ogg\" WAVE\n  TRACK 0" + std::to_string(track) + " AUDIO\n    INDEX 01 00:00:00\n";
    Frm.OpenCueFile(Q(W.Dir.Write("long.cue", sheet)));
    press.stop();
    EXPECT_EQ(CuePathEdit->text(), Q(cue));
    EXPECT_EQ(Frm.Sheet().CuePath, cue);
    EXPECT_EQ(Frm.windowTitle(), QString::fromUtf8("disc.cue \u2014 Sarvex"));
    EXPECT_TRUE(PreviewOn());
    EXPECT_TRUE(ConvOn());
    EXPECT_TRUE(W.Boxes.empty());
}

TEST_F(MainformTest, FileDialogsStartInARealFolder)
{
    auto* openDlg = Child<QFileDialog>(Frm, "CueOpenDlg");
    auto* saveDlg = Child<QFileDialog>(Frm, "CcdSaveDlg");
    QString openFolder, saveFolder, saveName;
    const auto look = [&](QFileDialog* dialog, QString& folder, QString* name) {
        QTimer::singleShot(0, dialog, [=, &folder] {
            folder = dialog->directory().absolutePath();
            if (name != nullptr)
                *name = dialog->selectedFiles().value(0);
            dialog->reject();
        });
    };
    look(openDlg, openFolder, nullptr);
    Child<QAction>(Frm, "FileSelectCue")->trigger();
    EXPECT_EQ(openFolder, QDir::homePath());

    // The save dialog offers the sheet's folder and its name with .ccd.
    const std::string cue = WriteSingleTrackDisc(W.Dir, 300, "album");
    Frm.OpenCueFile(Q(cue));
    CcdPathEdit->clear();
    look(saveDlg, saveFolder, &saveName);
    Child<QAction>(Frm, "FileSelectCcd")->trigger();
    EXPECT_EQ(saveFolder, Q(W.Dir.Path().string()));
    EXPECT_EQ(saveName, Q(W.Dir.File("album.ccd")));

    // A remembered folder that is gone counts as none.
    Frm.SelectCcdFile(Q(W.Dir.File("gone/x.ccd")));
    look(saveDlg, saveFolder, nullptr);
    Child<QAction>(Frm, "FileSelectCcd")->trigger();
    EXPECT_EQ(saveFolder, Q(W.Dir.Path().string()));
}

TEST_F(MainformTest, FontDialogOffersKeptSizesAndKeepsAnUnchangedFont)
{
    auto* fontDlg = Child<QFontDialog>(Frm, "FontDlg");
    const QFont before = CuePathEdit->font();
    int largest = 0;
    int sizeRows = 0;
    QString offeredFamily;
    QTimer::singleShot(0, fontDlg, [&] {
        offeredFamily = fontDlg->currentFont().family();
        for (QListView* list : fontDlg->findChildren<QListView*>())
        {
            bool numbers = list->model()->rowCount() > 0;
            int top = 0;
            for (int row = 0; row < list->model()->rowCount(); ++row)
            {
                bool number = false;
                top = std::max(top, list->model()->index(row, 0).data().toString().toInt(&number));
                numbers = numbers && number;
            }
            if (numbers)
            {
                largest = top;
                sizeRows = list->model()->rowCount();
            }
        }
        fontDlg->accept();
    });
    Child<QAction>(Frm, "SettingsFont")->trigger();
    EXPECT_GT(sizeRows, 0);
    EXPECT_EQ(largest, 12);
    EXPECT_EQ(CuePathEdit->font(), before);
    EXPECT_EQ(CuePathEdit->font().family(), "Arial");
    if (QFontDatabase::families().contains("Liberation Sans") && !QFontDatabase::families().contains("Arial"))
    {
        EXPECT_EQ(offeredFamily, "Liberation Sans");
    }
}

// The size box takes no size the boxes would not get, and the sample shows the colour chosen.
TEST_F(MainformTest, FontDialogShowsWhatWillBeApplied)
{
    auto* fontDlg = Child<QFontDialog>(Frm, "FontDlg");
    auto* colorBox = Child<QComboBox>(Frm, "FontColorBox");
    QLineEdit* size = nullptr;
    QLineEdit* sample = nullptr;
    for (QLineEdit* edit : fontDlg->findChildren<QLineEdit*>())
    {
        if (qobject_cast<const QIntValidator*>(edit->validator()) != nullptr)
            size = edit;
        if (qobject_cast<QGroupBox*>(edit->parentWidget()) != nullptr)
            sample = edit;
    }
    ASSERT_NE(size, nullptr);
    ASSERT_NE(sample, nullptr);
    for (const char* typed : {"24", "13"})
    {
        size->clear();
        for (const QChar key : QString(typed)) // typed key by key
            size->insert(key);
        EXPECT_EQ(size->text(), QString(typed).left(1));
    }
    colorBox->setCurrentIndex(colorBox->findText("Red"));
    EXPECT_EQ(sample->palette().color(QPalette::Text), QColor(255, 0, 0));
}

// F1 opens the guide; Tab goes as the window reads; the sheet box looks as read-only as it is.
TEST_F(MainformTest, GuideTabOrderAndReadOnlyLook)
{
    QUrl opened;
    W.AboutBox->SetUrlOpener([&](const QUrl& url) {
        opened = url;
        return true;
    });
    auto* guide = Child<QAction>(Frm, "HelpUserGuide");
    ASSERT_NE(guide, nullptr);
    EXPECT_EQ(guide->text(), "&User Guide");
    EXPECT_EQ(guide->shortcut(), QKeySequence(Qt::Key_F1));
    guide->trigger();
    EXPECT_EQ(opened, GuidePageUrl(false));

    const std::vector<QString> expected = {"CuePathEdit", "BrowseBtn1", "CcdPathEdit", "BrowseBtn2",
                                           "CorrectCk",   "PreviewBtn", "ConvBtn"};
    std::vector<QString> order;
    for (QWidget* w = CuePathEdit; order.size() < expected.size(); w = w->nextInFocusChain())
        if (std::find(expected.begin(), expected.end(), w->objectName()) != expected.end())
            order.push_back(w->objectName());
    EXPECT_EQ(order, expected);

    EXPECT_EQ(CuePathEdit->palette().color(QPalette::Base), Frm.palette().color(QPalette::Window));
    EXPECT_NE(CcdPathEdit->palette().color(QPalette::Base), Frm.palette().color(QPalette::Window));
}

// A completion list open in a file dialog goes with the dialog.
TEST_F(MainformTest, FileDialogsTakeTheirCompletionListAlong)
{
    WriteSingleTrackDisc(W.Dir, 300, "album");
    W.Dir.Write("album.ccd", "");
    for (const char* name : {"CueOpenDlg", "CcdSaveDlg", "VerifyOpenDlg"})
    {
        auto* dialog = Child<QFileDialog>(Frm, name);
        QWidget* popup = nullptr;
        QTimer::singleShot(0, dialog, [&] {
            dialog->setDirectory(Q(W.Dir.Path().string()));
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(edit, nullptr);
            ASSERT_NE(edit->completer(), nullptr);
            edit->setFocus();
            edit->setText("al");
            edit->completer()->complete();
            popup = edit->completer()->popup();
            WaitFor([&] { return popup->isVisible(); }, 2000);
            EXPECT_TRUE(popup->isVisible()) << name;
            dialog->reject();
        });
        dialog->exec();
        ASSERT_NE(popup, nullptr);
        QCoreApplication::processEvents();
        EXPECT_FALSE(popup->isVisible()) << name;
    }
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
    const std::string cue = WriteSingleTrackDisc(W.Dir, 300, "Game");
    W.Dir.Write("GAME.SBI", sidecar::SBI_HEADER + sidecar::Bytes({0x00, 0x02, 0x10, 0x03, 0x00, 0x02, 0x11}));
    Frm.OpenCueFile(Q(cue));
    EXPECT_TRUE(PreviewOn());
    EXPECT_EQ(Frm.Sheet().SubQPatchFile, W.Dir.File("GAME.SBI"));
    EXPECT_EQ(Frm.Sheet().SubQPatches.size(), 1u);
    EXPECT_TRUE(W.Boxes.empty());

    W.Dir.Write("GAME.SBI", sidecar::SBI_HEADER + sidecar::Bytes({0x00, 0x02, 0x10, 0x07}));
    Frm.OpenCueFile(Q(cue));
    EXPECT_FALSE(PreviewOn());
    EXPECT_TRUE(CuePathEdit->text().isEmpty());
    EXPECT_TRUE(Frm.Sheet().SubQPatchFile.empty());
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
