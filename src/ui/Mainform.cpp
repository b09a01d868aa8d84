#include "ui/Mainform.h"

#include "cuesheet/Cueerrors.h"
#include "cuesheet/Subqpatch.h"
#include "fileio/Paths.h"
#include "ui/Aboutbox.h"
#include "ui/Countdialog.h"
#include "ui/Messagebox.h"
#include "ui/Platform.h"
#include "ui/Previewform.h"
#include "ui/Progressdialog.h"
#include "ui/Verifyform.h"
#include "ui/Windowstyle.h"

#include "image/Outputplan.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QValidator>

namespace {
// The window is 469 pixels wide as designed and can only be widened; its height never changes.
constexpr int MIN_WIDTH = 470;
// The designed 158-pixel outer height less its frame, caption and menu bar: the controls' area,
// the last row (at 74, 23 high) with the same margin below it as the first row has above.
constexpr int CLIENT_HEIGHT = 105;
// Client width the anchored controls were placed for (469 less a 4-pixel frame on each side).
constexpr int DESIGN_CLIENT_WIDTH = 461;
constexpr int FORM_FONT_PIXELS = 12;
// The font dialog offers sizes up to this many points.
constexpr int MAX_FONT_POINTS = 12;

const QString ABSOLUTE_PATH_TIP = QStringLiteral("The .ccd path must be absolute: it starts with /.");

struct TNamedColor
{
    const char* Name;
    std::int32_t Value; // 0x00BBGGRR, or the system colour
};

// The colours a font dialog traditionally offers, after the system's window text colour.
constexpr TNamedColor FONT_COLORS[] = {
    {"Automatic", TPathFont::SYSTEM_WINDOW_TEXT},
    {"Black", 0x000000},
    {"Maroon", 0x000080},
    {"Green", 0x008000},
    {"Olive", 0x008080},
    {"Navy", 0x800000},
    {"Purple", 0x800080},
    {"Teal", 0x808000},
    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},
    {"Red", 0x0000FF},
    {"Lime", 0x00FF00},
    {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},
    {"Fuchsia", 0xFF00FF},
    {"Aqua", 0xFFFF00},
    {"White", 0xFFFFFF},
};

QColor ColorFromValue(std::int32_t value)
{
    if (value < 0) // a system colour: only the window text colour is used for text
        return QApplication::palette().color(QPalette::Active, QPalette::Text);
    const auto bgr = static_cast<std::uint32_t>(value);
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void Place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(left, top, width, height);
}

void PlaceAuto(QWidget* widget, int left, int top)
{
    widget->adjustSize();
    widget->move(left, top);
}
} // namespace

TMainFrm::TMainFrm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("Sarvex"));
    setFont(FormFont(FORM_FONT_PIXELS));

    CreateActions();
    CreateComponents();
    CreateDialogs();

    const int height = menuBar()->sizeHint().height() + CLIENT_HEIGHT;
    setMinimumSize(MIN_WIDTH, height);
    const QScreen* screen = QGuiApplication::primaryScreen();
    setMaximumSize(screen ? std::max(MIN_WIDTH, screen->geometry().width()) : QWIDGETSIZE_MAX, height);
    setGeometry(100, 100, MIN_WIDTH, height);
    setAcceptDrops(true);

    ConvBtn->setEnabled(false);
    PreviewBtn->setEnabled(false);
    CorrectCk->setChecked(true);
    Job.OnStart = [this] { RunOnGuiThread([this] { SetConversionButtonsEnabled(false); }); };
    Job.OnEnd = [this] { RunOnGuiThread([this] { SetConversionButtonsEnabled(true); }); };
    VerifyJob.OnStart = Job.OnStart;
    VerifyJob.OnEnd = [this] { RunOnGuiThread([this] { RestoreButtonStates(); }); };

    LoadSettings();
    KeepOnScreen();
    UpdateConvertState();
    // The loaded font reaches the path boxes once the event loop first runs.
    QTimer::singleShot(0, this, [this] { ApplyPendingFont(); });
}

TMainFrm::~TMainFrm() = default;

QAction* TMainFrm::AddAction(QMenu* menu, const char* name, const char* caption, void (TMainFrm::*handler)())
{
    auto* action = new QAction(QString::fromLatin1(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, handler);
    menu->addAction(action);
    return action;
}

void TMainFrm::CreateActions()
{
    QMenuBar* mainMenu = menuBar();
    mainMenu->setObjectName(QStringLiteral("MainMenu1"));
    const auto addMenu = [mainMenu](const char* name, const char* caption) {
        QMenu* menu = mainMenu->addMenu(QString::fromLatin1(caption));
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    File1 = addMenu("File1", "&File");
    Setting1 = addMenu("Setting1", "&Setting");
    Help1 = addMenu("Help1", "&Help");

    FileSelectCue = AddAction(File1, "FileSelectCue", "&Select a .cue file", &TMainFrm::FileSelectCueExecute);
    FileSelectCcd = AddAction(File1, "FileSelectCcd", "S&elect a .ccd file", &TMainFrm::FileSelectCcdExecute);
    FileVerify = AddAction(File1, "FileVerify", "&Verify Image...", &TMainFrm::FileVerifyExecute);
    FileExit = AddAction(File1, "FileExit", "E&xit", &TMainFrm::FileExitExecute);
    SettingsFont = AddAction(Setting1, "SettingsFont", "&Font", &TMainFrm::SettingsFontExecute);
    SettingsCdText =
        AddAction(Setting1, "SettingsCdText", "&CD-TEXT from the Cue Sheet", &TMainFrm::SettingsCdTextExecute);
    SettingsCdText->setCheckable(true);
    SettingsCdText->setChecked(true);
    HelpAbout = AddAction(Help1, "HelpAbout", "&About", &TMainFrm::HelpAboutExecute);
}

void TMainFrm::CreateComponents()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);

    const auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    Label1 = named(new QLabel(QStringLiteral(".CUE File:"), client), "Label1");
    CuePathEdit = named(new QLineEdit(client), "CuePathEdit");
    BrowseBtn1 = named(new QPushButton(QStringLiteral("&Browse"), client), "BrowseBtn1");
    Label2 = named(new QLabel(QStringLiteral(".CCD File:"), client), "Label2");
    CcdPathEdit = named(new QLineEdit(client), "CcdPathEdit");
    BrowseBtn2 = named(new QPushButton(QStringLiteral("B&rowse"), client), "BrowseBtn2");
    PreviewBtn = named(new QPushButton(QStringLiteral("&Preview"), client), "PreviewBtn");
    ConvBtn = named(new QPushButton(QStringLiteral("&Convert"), client), "ConvBtn");
    CorrectCk =
        named(new QCheckBox(QStringLiteral("Correct mode header and EDC/ECC of raw sectors"), client), "CorrectCk");

    PlaceAuto(Label1, 12, 13);
    PlaceAuto(Label2, 12, 43);
    Place(CorrectCk, 16, 76, 302, 17);
    LayoutAnchored(DESIGN_CLIENT_WIDTH);

    CuePathEdit->setReadOnly(true);
    // Enter presses a focused button as Space does.
    for (QPushButton* button : {BrowseBtn1, BrowseBtn2, PreviewBtn, ConvBtn})
        button->setAutoDefault(true);
    // Drops on the path boxes reach the window, which tells a sheet from a .ccd path.
    CuePathEdit->setAcceptDrops(false);
    CcdPathEdit->setAcceptDrops(false);

    setTabOrder(CuePathEdit, BrowseBtn1);
    setTabOrder(BrowseBtn1, CcdPathEdit);
    setTabOrder(CcdPathEdit, BrowseBtn2);
    setTabOrder(BrowseBtn2, PreviewBtn);
    setTabOrder(PreviewBtn, ConvBtn);
    setTabOrder(ConvBtn, CorrectCk);

    connect(BrowseBtn1, &QPushButton::clicked, FileSelectCue, &QAction::trigger);
    connect(BrowseBtn2, &QPushButton::clicked, FileSelectCcd, &QAction::trigger);
    connect(PreviewBtn, &QPushButton::clicked, this, &TMainFrm::PreviewBtnClick);
    connect(ConvBtn, &QPushButton::clicked, this, &TMainFrm::ConvBtnClick);
    connect(CcdPathEdit, &QLineEdit::textChanged, this, &TMainFrm::CcdPathEditChange);
    connect(CcdPathEdit, &QLineEdit::returnPressed, this, &TMainFrm::CcdPathEditReturn);
}

namespace {
// Qt's font dialog, found by its structure rather than by its (translatable) texts.
QGroupBox* EffectsGroup(QFontDialog* dialog)
{
    for (QGroupBox* group : dialog->findChildren<QGroupBox*>())
        if (group->layout() != nullptr && !group->findChildren<QCheckBox*>().isEmpty())
            return group;
    return nullptr;
}

// The size list is the one whose rows are all whole numbers; the size box is the one that takes only them.
void LimitFontSizes(QFontDialog* dialog)
{
    for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
        if (qobject_cast<const QIntValidator*>(edit->validator()) != nullptr)
            edit->setValidator(new QIntValidator(1, MAX_FONT_POINTS, edit));
    for (QListView* list : dialog->findChildren<QListView*>())
    {
        auto* model = qobject_cast<QStringListModel*>(list->model());
        if (model == nullptr)
            continue;
        const auto trim = [model] {
            const QStringList rows = model->stringList();
            QStringList kept;
            for (const QString& row : rows)
            {
                bool number = false;
                const int points = row.toInt(&number);
                if (!number)
                    return; // not the size list
                if (points <= MAX_FONT_POINTS)
                    kept.push_back(row);
            }
            if (kept.size() != rows.size())
                model->setStringList(kept);
        };
        // The dialog refills the list for every family and style.
        QObject::connect(model, &QAbstractItemModel::modelReset, dialog, trim);
        trim();
    }
}
} // namespace

void TMainFrm::CreateDialogs()
{
    CueOpenDlg = new QFileDialog(this);
    CueOpenDlg->setObjectName(QStringLiteral("CueOpenDlg"));
    CueOpenDlg->setAcceptMode(QFileDialog::AcceptOpen);
    CueOpenDlg->setFileMode(QFileDialog::ExistingFile);
    CueOpenDlg->setDefaultSuffix(QStringLiteral("cue"));
    CueOpenDlg->setNameFilters({QStringLiteral("Cue Sheets (*.cue)"), QStringLiteral("All Files (*)")});

    CcdSaveDlg = new QFileDialog(this);
    CcdSaveDlg->setObjectName(QStringLiteral("CcdSaveDlg"));
    CcdSaveDlg->setAcceptMode(QFileDialog::AcceptSave);
    CcdSaveDlg->setFileMode(QFileDialog::AnyFile);
    // Convert asks about each existing output file itself.
    CcdSaveDlg->setOption(QFileDialog::DontConfirmOverwrite);
    CcdSaveDlg->setDefaultSuffix(QStringLiteral("ccd"));
    CcdSaveDlg->setNameFilters({QStringLiteral("CCD Files (*.ccd)"), QStringLiteral("All Files (*)")});

    VerifyOpenDlg = new QFileDialog(this);
    VerifyOpenDlg->setObjectName(QStringLiteral("VerifyOpenDlg"));
    VerifyOpenDlg->setWindowTitle(QStringLiteral("Verify Image"));
    VerifyOpenDlg->setAcceptMode(QFileDialog::AcceptOpen);
    VerifyOpenDlg->setFileMode(QFileDialog::ExistingFile);
    VerifyOpenDlg->setNameFilters({QStringLiteral("CCD Files (*.ccd)"), QStringLiteral("All Files (*)")});

    // Qt's own font dialog, so that a colour choice can join its effects.
    FontDlg = new QFontDialog(this);
    FontDlg->setObjectName(QStringLiteral("FontDlg"));
    FontDlg->setOption(QFontDialog::DontUseNativeDialog);
    LimitFontSizes(FontDlg);
    if (QGroupBox* group = EffectsGroup(FontDlg))
    {
        FontColorBox = new QComboBox(group);
        FontColorBox->setObjectName(QStringLiteral("FontColorBox"));
        for (const TNamedColor& color : FONT_COLORS)
        {
            QPixmap swatch(12, 12);
            swatch.fill(ColorFromValue(color.Value));
            FontColorBox->addItem(QIcon(swatch), QString::fromLatin1(color.Name), color.Value);
        }
        group->layout()->addWidget(new QLabel(QStringLiteral("Color:"), group));
        group->layout()->addWidget(FontColorBox);
    }
}

void TMainFrm::LayoutAnchored(int clientWidth)
{
    // Controls anchored to the right keep their designed distance from the right edge.
    const int shift = clientWidth - DESIGN_CLIENT_WIDTH;
    Place(CuePathEdit, 72, 8, 303 + shift, 23);
    Place(CcdPathEdit, 72, 40, 303 + shift, 23);
    Place(BrowseBtn1, 389 + shift, 7, 55, 23);
    Place(BrowseBtn2, 389 + shift, 40, 55, 23);
    Place(PreviewBtn, 320 + shift, 74, 55, 23);
    Place(ConvBtn, 389 + shift, 74, 55, 23);
}

void TMainFrm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    LayoutAnchored(width());
}

void TMainFrm::KeepOnScreen()
{
    // A position saved on a screen that is gone would leave at most a corner of the title bar.
    const QRect frame(pos(), size());
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return;
    QRect nearest;
    qint64 nearestDistance = -1;
    for (const QScreen* screen : screens)
    {
        const QRect area = screen->availableGeometry();
        if (area.contains(frame))
            return;
        const QPoint offset = area.center() - frame.center();
        const qint64 distance = qint64(offset.x()) * offset.x() + qint64(offset.y()) * offset.y();
        if (nearestDistance < 0 || distance < nearestDistance)
        {
            nearest = area;
            nearestDistance = distance;
        }
    }
    const int left =
        std::clamp(frame.left(), nearest.left(), std::max(nearest.left(), nearest.right() - frame.width()));
    const int top = std::clamp(frame.top(), nearest.top(), std::max(nearest.top(), nearest.bottom() - frame.height()));
    move(left, top);
}

bool TMainFrm::ConfirmOverwrite(const TOutputFile& file)
{
    if (!file.Exists())
        return true;
    const QString path = FromNativePath(file.Path);
    if (!AskConfirm(this, QStringLiteral("\"%1\" already exists. Will you overwrite it?").arg(path)))
        return false;
    if (file.ReadOnly())
    {
        ShowError(this, QStringLiteral("\"%1\" is a read-only file.").arg(path));
        return false;
    }
    return true;
}

namespace {
// A remembered folder that still exists, else the fallback.
QString ExistingFolder(const QString& folder, const QString& fallback)
{
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return fallback;
}
} // namespace

void TMainFrm::FileSelectCueExecute()
{
    CueOpenDlg->setDirectory(ExistingFolder(FLastCueDir, QDir::homePath()));
    CueOpenDlg->selectFile(QString());
    if (CueOpenDlg->exec() != QDialog::Accepted || CueOpenDlg->selectedFiles().isEmpty())
        return;
    OpenCueFile(CueOpenDlg->selectedFiles().constFirst());
}

void TMainFrm::OpenCueFile(const QString& path)
{
    FLastCueDir = FolderOf(path);
    CueSheet.UseSheetCdText = SettingsCdText->isChecked();
    bool loaded = LoadOffGuiThread(this, CueSheet, ToNativePath(path));
    // The user's own Cancel needs no error box.
    const bool canceled = CueSheet.ErrorCode == CueStatus(egSheet, erCanceled);
    std::string error = CueSheet.ErrorCode != 0 && !canceled ? CueErrorText(CueSheet) : std::string();
    QString detail;
    const TCueErrorGroup group = CueStatusGroup(CueSheet.ErrorCode);
    if (!loaded && (group == egFile || group == egCdTextFile) && !CueSheet.TriedFileName.empty())
        detail = QStringLiteral("The sheet names \"%1\"; the file looked for was \"%2\".")
                     .arg(FromNativePath(CueSheet.TriedFileName), FromNativePath(CueSheet.TriedFilePath));
    std::vector<std::string> warnings = CueSheet.LoadWarnings;
    // A LibCrypt side-car beside the sheet belongs to it; a damaged one refuses the whole sheet.
    const std::string sideCar = loaded ? FindSubQPatchFile(CueSheet.CuePath) : std::string();
    if (const TError failure = sideCar.empty() ? TError() : AttachSubQPatches(CueSheet, sideCar, warnings))
    {
        error = failure.Text();
        CueSheet.Clear();
        loaded = false;
    }
    if (loaded)
    {
        CuePathEdit->setText(path);
        // The same default as the command-line tool: the sheet's path with .ccd.
        if (CcdPathEdit->text().isEmpty())
            CcdPathEdit->setText(FromNativePath(ChangeFileExt(ToNativePath(path), ".ccd")));
        for (const std::string& warning : warnings)
            BeepAndShow(this, {QString::fromStdString(warning), QStringLiteral("Warning"), QMessageBox::Warning,
                               QMessageBox::Ok, QString()});
    }
    else
    {
        CuePathEdit->clear();
        if (!error.empty())
            ShowError(this, QString::fromStdString(error), detail);
    }
    PreviewBtn->setEnabled(loaded);
    UpdateConvertState();
}

void TMainFrm::FileSelectCcdExecute()
{
    QString fallback = QDir::homePath();
    QString name = QFileInfo(CcdPathEdit->text()).fileName();
    if (!CuePathEdit->text().isEmpty())
    {
        fallback = FolderOf(CuePathEdit->text());
        if (name.isEmpty())
            name = QFileInfo(CuePathEdit->text()).completeBaseName() + QStringLiteral(".ccd");
    }
    CcdSaveDlg->setDirectory(ExistingFolder(FLastCcdDir, fallback));
    CcdSaveDlg->selectFile(name);
    if (CcdSaveDlg->exec() != QDialog::Accepted || CcdSaveDlg->selectedFiles().isEmpty())
        return;
    SelectCcdFile(CcdSaveDlg->selectedFiles().constFirst());
}

void TMainFrm::SelectCcdFile(const QString& path)
{
    CcdPathEdit->setText(FromNativePath(ChangeFileExt(ToNativePath(path), ".ccd")));
    FLastCcdDir = FolderOf(path);
    ConvBtn->setEnabled(!CuePathEdit->text().isEmpty());
}

void TMainFrm::CcdPathEditChange()
{
    UpdateConvertState();
}

void TMainFrm::UpdateConvertState()
{
    const QString ccdPath = CcdPathEdit->text();
    const bool usable = IsAbsoluteOutputPath(ccdPath);
    ConvBtn->setEnabled(!CuePathEdit->text().isEmpty() && usable);
    // Say what keeps Convert grey.
    CcdPathEdit->setToolTip(usable || ccdPath.isEmpty() ? QString() : ABSOLUTE_PATH_TIP);
    if (CuePathEdit->text().isEmpty())
        ConvBtn->setToolTip(QStringLiteral("Choose a cue sheet first."));
    else if (ccdPath.isEmpty())
        ConvBtn->setToolTip(QStringLiteral("Type or choose the path of the .ccd file to write."));
    else
        ConvBtn->setToolTip(usable ? QString() : ABSOLUTE_PATH_TIP);
}

void TMainFrm::CcdPathEditReturn()
{
    if (ConvBtn->isEnabled())
        ConvBtn->click();
}

void TMainFrm::ConvBtnClick()
{
    if (!IsRegularFile(ToNativePath(CuePathEdit->text())))
        return;
    const std::string ccdPath = ToNativePath(CcdPathEdit->text());
    const TOutputPlan plan = PlanOutputs(ccdPath, CueSheet);
    // Outputs that must never be written are refused before any question.
    if (!plan.Problem.empty())
    {
        ShowError(this, FromNativePath(plan.Problem));
        return;
    }
    for (const TOutputFile& file : plan.Files)
        if (!ConfirmOverwrite(file))
            return;

    ConvCcdPath = ccdPath;
    ConvCorrectEdcEcc = CorrectCk->isChecked();
    if (!RunWithProgress([this] { RunConversion(); }, QStringLiteral("Converting...")))
    {
        Job.Reset();
        return;
    }

    switch (Job.Status.load())
    {
    // "successfull" keeps its historic spelling: users' scripts and stored logs match the text.
    case csSucceeded: ShowResult(this, QStringLiteral("Operation was successfull.")); break;
    case csCanceled: ShowResult(this, QStringLiteral("Operation was canceled.")); break;
    default: ShowError(this, QStringLiteral("Operation was failure."), FromNativePath(Job.Error.Text())); break;
    }
    Job.Reset();
}

bool TMainFrm::RunWithProgress(std::function<void()> body, const QString& caption)
{
    QThread* worker = QThread::create(std::move(body));
    worker->setObjectName(QStringLiteral("ConversionWorker"));
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
    if (!worker->isRunning() && !worker->isFinished())
    {
        delete worker;
        return false;
    }

    if (auto* progressDlg = findChild<TProgressDlg*>(QString(), Qt::FindDirectChildrenOnly))
    {
        progressDlg->setWindowTitle(caption);
        ShowNormal(progressDlg); // a minimize left over from an earlier run
        progressDlg->exec();
    }
    RestoreWindow();
    return true;
}

void TMainFrm::FileVerifyExecute()
{
    // Sets are most often checked where they were last written.
    VerifyOpenDlg->setDirectory(ExistingFolder(FLastVerifyDir, ExistingFolder(FLastCcdDir, QDir::homePath())));
    VerifyOpenDlg->selectFile(QString());
    if (VerifyOpenDlg->exec() != QDialog::Accepted || VerifyOpenDlg->selectedFiles().isEmpty())
        return;
    VerifyImage(VerifyOpenDlg->selectedFiles().constFirst());
}

void TMainFrm::VerifyImage(const QString& path)
{
    FLastVerifyDir = FolderOf(path);
    VerifyCcdPath = ToNativePath(path);
    Verifying = true;
    const bool ran = RunWithProgress([this] { VerifyJob.Run(VerifyCcdPath); }, QStringLiteral("Verifying..."));
    Verifying = false;
    const TConvertStatus status = VerifyJob.Status.load();
    VerifyJob.Reset();
    if (!ran)
        return;

    switch (status)
    {
    case csSucceeded:
        if (auto* verifyFrm = findChild<TVerifyFrm*>(QString(), Qt::FindDirectChildrenOnly))
        {
            verifyFrm->SetReport(VerifyJob.Report);
            verifyFrm->exec();
        }
        break;
    case csCanceled: ShowResult(this, QStringLiteral("Verification was canceled.")); break;
    default:
        ShowError(this, QStringLiteral("Cannot verify \"%1\".").arg(path), FromNativePath(VerifyJob.Error.Text()));
        break;
    }
}

void TMainFrm::RestoreWindow()
{
    // The window manager may have iconified the window with its dialog.
    ShowNormal(this);
    activateWindow();
}

void TMainFrm::RunConversion()
{
    Job.Run(ConvCcdPath, ConvCorrectEdcEcc, CueSheet);
}

bool TMainFrm::SetProgressHandler(const TProgressHandler& handler)
{
    return Job.SetProgressHandler(handler) && VerifyJob.SetProgressHandler(handler);
}

void TMainFrm::RequestCancel()
{
    if (Verifying)
        VerifyJob.RequestCancel();
    else
        Job.RequestCancel();
}

void TMainFrm::SetConversionButtonsEnabled(bool enabled)
{
    for (QPushButton* button : {BrowseBtn1, BrowseBtn2, PreviewBtn, ConvBtn})
        button->setEnabled(enabled);
}

void TMainFrm::RestoreButtonStates()
{
    BrowseBtn1->setEnabled(true);
    BrowseBtn2->setEnabled(true);
    PreviewBtn->setEnabled(!CuePathEdit->text().isEmpty());
    UpdateConvertState();
}

void TMainFrm::RunOnGuiThread(std::function<void()> work)
{
    // Never blocks: the GUI thread may be waiting in the progress dialog for this very worker.
    if (QThread::currentThread() == thread())
        work();
    else
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void TMainFrm::PreviewBtnClick()
{
    if (auto* previewFrm = findChild<TPreviewFrm*>(QString(), Qt::FindDirectChildrenOnly))
        previewFrm->exec();
}

void TMainFrm::HelpAboutExecute()
{
    if (auto* aboutBox = findChild<TAboutBox*>(QString(), Qt::FindDirectChildrenOnly))
        aboutBox->exec();
}

// The packs are built when the sheet is read, so the loaded sheet is read again (never during a run,
// when the buttons are off).
void TMainFrm::SettingsCdTextExecute()
{
    if (!CuePathEdit->text().isEmpty() && BrowseBtn1->isEnabled())
        OpenCueFile(CuePathEdit->text());
}

void TMainFrm::SettingsFontExecute()
{
    // The dialog lists installed families only: a font asked for by another name shows as its twin.
    QFont shown = CuePathEdit->font();
    shown.setFamily(InstalledFamily(shown.family()));
    FontDlg->setCurrentFont(shown);
    const QFont offered = FontDlg->currentFont();
    if (FontColorBox != nullptr)
    {
        const int row = FontColorBox->findData(CurrentPathFont.Color);
        FontColorBox->setCurrentIndex(row >= 0 ? row : 0);
    }
    if (FontDlg->exec() != QDialog::Accepted)
        return;

    TPathFont chosen = CurrentPathFont;
    // Unchanged, the font keeps its own name and size rather than the dialog's reading of them.
    if (FontDlg->selectedFont() != offered)
    {
        chosen.Font = FontDlg->selectedFont();
        if (chosen.Font.pointSize() > MAX_FONT_POINTS)
            chosen.Font.setPointSize(MAX_FONT_POINTS);
        chosen.Pitch = QFontInfo(chosen.Font).fixedPitch() ? 2 : 1;
    }
    if (FontColorBox != nullptr)
        chosen.Color = FontColorBox->currentData().toInt();
    ApplyPathFont(chosen);
}

void TMainFrm::ApplyPathFont(const TPathFont& font)
{
    CurrentPathFont = font;
    for (QLineEdit* edit : {CuePathEdit, CcdPathEdit})
    {
        edit->setFont(font.Font);
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Text, ColorFromValue(font.Color));
        edit->setPalette(palette);
    }
}

void TMainFrm::ApplyPendingFont()
{
    if (!PendingFont)
        return;
    ApplyPathFont(*PendingFont);
    PendingFont.reset();
}

void TMainFrm::FileExitExecute()
{
    close();
}

void TMainFrm::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TMainFrm::FormClose()
{
    SaveSettings();
}

namespace {
// The one local file a drag carries. File managers send a URL list; some programs only text.
QString DroppedPath(const QMimeData* data)
{
    if (data == nullptr)
        return QString();
    QList<QUrl> urls = data->urls();
    if (urls.isEmpty() && data->hasText())
        urls = {QUrl(data->text().trimmed())};
    if (urls.size() != 1 || !urls.constFirst().isLocalFile())
        return QString();
    return urls.constFirst().toLocalFile();
}

bool HasExtension(const QString& path, const char* ext)
{
    return path.endsWith(QLatin1String(ext), Qt::CaseInsensitive);
}
} // namespace

void TMainFrm::dragEnterEvent(QDragEnterEvent* event)
{
    const QString path = DroppedPath(event->mimeData());
    if (BrowseBtn1->isEnabled() && (HasExtension(path, ".cue") || HasExtension(path, ".ccd")))
        event->acceptProposedAction();
}

void TMainFrm::dropEvent(QDropEvent* event)
{
    const QString path = DroppedPath(event->mimeData());
    if (!BrowseBtn1->isEnabled() || path.isEmpty())
        return;
    if (HasExtension(path, ".cue"))
    {
        event->acceptProposedAction();
        // Loading may show an error box; let the drag finish first.
        QTimer::singleShot(0, this, [this, path] { OpenCueFile(path); });
    }
    else if (HasExtension(path, ".ccd") &&
             CcdPathEdit->rect().contains(CcdPathEdit->mapFrom(this, event->position().toPoint())))
    {
        event->acceptProposedAction();
        CcdPathEdit->setText(path);
    }
}
