#include "ui/Mainform.h"

#include "ui/Aboutbox.h"
#include "ui/Messagebox.h"
#include "ui/Platform.h"
#include "ui/Previewform.h"
#include "ui/Progressdialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>

namespace {
// The window is 469 pixels wide as designed and can only be widened; its height never changes.
constexpr int MIN_WIDTH = 470;
constexpr int FIXED_HEIGHT = 158;
// Client width the anchored controls were placed for (469 less a 4-pixel frame on each side).
constexpr int DESIGN_CLIENT_WIDTH = 461;
constexpr int FORM_FONT_PIXELS = 12;
// The font dialog offers sizes up to this many points.
constexpr int MAX_FONT_POINTS = 12;

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
    QFont formFont(QStringLiteral("Arial"));
    formFont.setPixelSize(FORM_FONT_PIXELS);
    setFont(formFont);

    CreateActions();
    CreateComponents();
    CreateDialogs();

    setMinimumSize(MIN_WIDTH, FIXED_HEIGHT);
    const QScreen* screen = QGuiApplication::primaryScreen();
    setMaximumSize(screen ? std::max(MIN_WIDTH, screen->geometry().width()) : QWIDGETSIZE_MAX, FIXED_HEIGHT);
    setGeometry(100, 100, MIN_WIDTH, FIXED_HEIGHT);
    setAcceptDrops(true);

    ConvBtn->setEnabled(false);
    PreviewBtn->setEnabled(false);
    CorrectCk->setChecked(true);
    Job.Status.store(csIdle);
    Job.OnStart = [this] { RunOnGuiThread([this] { SetConversionButtonsEnabled(false); }); };
    Job.OnEnd = [this] { RunOnGuiThread([this] { SetConversionButtonsEnabled(true); }); };

    LoadSettings();
    // The loaded font reaches the path boxes once the event loop first runs.
    QTimer::singleShot(0, this, [this] { ApplyPendingFont(); });
}

TMainFrm::~TMainFrm() = default;

void TMainFrm::CreateActions()
{
    const auto makeAction = [this](const char* name, const char* caption, void (TMainFrm::*handler)()) {
        auto* action = new QAction(QString::fromLatin1(caption), this);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    FileSelectCue = makeAction("FileSelectCue", "&Select a .cue file", &TMainFrm::FileSelectCueExecute);
    FileSelectCcd = makeAction("FileSelectCcd", "S&elect a .ccd file", &TMainFrm::FileSelectCcdExecute);
    FileExit = makeAction("FileExit", "E&xit", &TMainFrm::FileExitExecute);
    SettingsFont = makeAction("SettingsFont", "&Font", &TMainFrm::SettingsFontExecute);
    HelpAbout = makeAction("HelpAbout", "&About", &TMainFrm::HelpAboutExecute);
    SettingsCdText = makeAction("SettingsCdText", "&CD-TEXT from the Cue Sheet", &TMainFrm::SettingsCdTextExecute);
    SettingsCdText->setCheckable(true);
    SettingsCdText->setChecked(true);

    QMenuBar* mainMenu = menuBar();
    mainMenu->setObjectName(QStringLiteral("MainMenu1"));
    File1 = mainMenu->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    File1->addAction(FileSelectCue);
    File1->addAction(FileSelectCcd);
    File1->addAction(FileExit);
    Setting1 = mainMenu->addMenu(QStringLiteral("&Setting"));
    Setting1->setObjectName(QStringLiteral("Setting1"));
    Setting1->addAction(SettingsFont);
    Setting1->addAction(SettingsCdText);
    Help1 = mainMenu->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Help1->addAction(HelpAbout);
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
    for (QPushButton* button : {BrowseBtn1, BrowseBtn2, PreviewBtn, ConvBtn})
        button->setAutoDefault(false);

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
}

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

    // Qt's own font dialog, so that a colour choice can join its effects.
    FontDlg = new QFontDialog(this);
    FontDlg->setObjectName(QStringLiteral("FontDlg"));
    FontDlg->setOption(QFontDialog::DontUseNativeDialog);
    for (QGroupBox* group : FontDlg->findChildren<QGroupBox*>())
    {
        if (group->layout() == nullptr || !group->title().contains(QStringLiteral("Effects")))
            continue;
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
        break;
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

bool TMainFrm::IsDrivePath(const QString& path)
{
    return ::IsDrivePath(path);
}

bool TMainFrm::ConfirmOverwrite(const QString& path)
{
    if (!FileExists(path))
        return true;
    if (!AskConfirm(this, QStringLiteral("\"%1\" already exists. Will you overwrite it?").arg(path)))
        return false;
    if (IsReadOnlyFile(path))
    {
        ShowError(this, QStringLiteral("\"%1\" is a read-only file.").arg(path));
        return false;
    }
    return true;
}

void TMainFrm::FileSelectCueExecute()
{
    CueOpenDlg->setDirectory(LastCueDir);
    CueOpenDlg->selectFile(QString());
    if (CueOpenDlg->exec() != QDialog::Accepted || CueOpenDlg->selectedFiles().isEmpty())
        return;
    OpenCueFile(CueOpenDlg->selectedFiles().constFirst());
}

void TMainFrm::OpenCueFile(const QString& path)
{
    LastCueDir = FolderOf(path);
    CueSheet.UseSheetCdText = SettingsCdText->isChecked();
    bool loaded = CueSheet.Load(ToNativePath(path));
    std::string error = CueSheet.ErrorCode != 0 ? CueErrorText(CueSheet.ErrorCode) : std::string();
    std::vector<std::string> warnings;
    // A LibCrypt side-car beside the sheet belongs to it; a damaged one refuses the whole sheet.
    const std::string sideCar = loaded ? FindSubQPatchFile(CueSheet.CuePath) : std::string();
    if (!sideCar.empty() && !AttachSubQPatches(CueSheet, sideCar, warnings, error))
    {
        CueSheet.Clear();
        loaded = false;
    }
    if (loaded)
    {
        CuePathEdit->setText(path);
        for (const std::string& warning : warnings)
            BeepAndShow(this, QString::fromStdString(warning), QStringLiteral("Warning"), QMessageBox::Warning);
    }
    else
    {
        CuePathEdit->clear();
        if (!error.empty())
            ShowError(this, QString::fromStdString(error));
    }
    PreviewBtn->setEnabled(loaded);
    ConvBtn->setEnabled(loaded && IsDrivePath(CcdPathEdit->text()));
}

void TMainFrm::FileSelectCcdExecute()
{
    CcdSaveDlg->setDirectory(LastCcdDir);
    CcdSaveDlg->selectFile(QString());
    if (CcdSaveDlg->exec() != QDialog::Accepted || CcdSaveDlg->selectedFiles().isEmpty())
        return;
    SelectCcdFile(CcdSaveDlg->selectedFiles().constFirst());
}

void TMainFrm::SelectCcdFile(const QString& path)
{
    CcdPathEdit->setText(FromNativePath(ChangeFileExt(ToNativePath(path), ".ccd")));
    LastCcdDir = FolderOf(path);
    ConvBtn->setEnabled(!CuePathEdit->text().isEmpty());
}

void TMainFrm::CcdPathEditChange()
{
    ConvBtn->setEnabled(!CuePathEdit->text().isEmpty() && IsDrivePath(CcdPathEdit->text()));
}

void TMainFrm::ConvBtnClick()
{
    if (!FileExists(CuePathEdit->text()))
        return;
    const std::string ccdPath = ToNativePath(CcdPathEdit->text());
    for (const std::string& path : {ccdPath, ChangeFileExt(ccdPath, ".img"), ChangeFileExt(ccdPath, ".sub")})
        if (!ConfirmOverwrite(FromNativePath(path)))
            return;

    ConvCcdPath = ccdPath;
    ConvCorrectEdcEcc = CorrectCk->isChecked();
    QThread* worker = QThread::create([this] { RunConversion(); });
    worker->setObjectName(QStringLiteral("ConversionWorker"));
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
    if (!worker->isRunning() && !worker->isFinished())
    {
        delete worker;
        Job.Status.store(csIdle);
        return;
    }

    if (ProgressDlg != nullptr)
        ProgressDlg->exec();

    switch (Job.Status.load())
    {
    // "successfull" keeps its historic spelling: users' scripts and stored logs match the text.
    case csSucceeded: ShowResult(this, QStringLiteral("Operation was successfull.")); break;
    case csCancelRequested: ShowResult(this, QStringLiteral("Operation was canceled.")); break;
    default: ShowError(this, QStringLiteral("Operation was failure.")); break;
    }
    Job.Status.store(csIdle);
}

void TMainFrm::RunConversion()
{
    Job.Run(ConvCcdPath, ConvCorrectEdcEcc, CueSheet);
}

bool TMainFrm::SetProgressHandler(TProgressProc handler, void* dialog)
{
    return Job.SetProgressHandler(handler, dialog);
}

void TMainFrm::RequestCancel()
{
    Job.RequestCancel();
}

void TMainFrm::SetConversionButtonsEnabled(bool enabled)
{
    for (QPushButton* button : {BrowseBtn1, BrowseBtn2, PreviewBtn, ConvBtn})
        button->setEnabled(enabled);
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
    if (PreviewFrm != nullptr)
        PreviewFrm->exec();
}

void TMainFrm::HelpAboutExecute()
{
    if (AboutBox != nullptr)
        AboutBox->exec();
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
    FontDlg->setCurrentFont(CuePathEdit->font());
    if (FontColorBox != nullptr)
    {
        const int row = FontColorBox->findData(CurrentPathFont.Color);
        FontColorBox->setCurrentIndex(row >= 0 ? row : 0);
    }
    if (FontDlg->exec() != QDialog::Accepted)
        return;

    TPathFont chosen = CurrentPathFont;
    chosen.Font = FontDlg->selectedFont();
    if (chosen.Font.pointSize() > MAX_FONT_POINTS)
        chosen.Font.setPointSize(MAX_FONT_POINTS);
    chosen.Pitch = QFontInfo(chosen.Font).fixedPitch() ? 2 : 1;
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
QString DroppedCuePath(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1)
        return QString();
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile() || !url.toLocalFile().endsWith(QStringLiteral(".cue"), Qt::CaseInsensitive))
        return QString();
    return url.toLocalFile();
}
} // namespace

void TMainFrm::dragEnterEvent(QDragEnterEvent* event)
{
    if (BrowseBtn1->isEnabled() && !DroppedCuePath(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainFrm::dropEvent(QDropEvent* event)
{
    const QString path = DroppedCuePath(event->mimeData());
    if (!BrowseBtn1->isEnabled() || path.isEmpty())
        return;
    event->acceptProposedAction();
    // Loading may show an error box; let the drag finish first.
    QTimer::singleShot(0, this, [this, path] { OpenCueFile(path); });
}
