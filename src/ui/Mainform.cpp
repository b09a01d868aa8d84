// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Mainform.h"

#include "fileio/Paths.h"
#include "ui/Aboutbox.h"
#include "ui/Mainsettings.h"
#include "ui/Messagebox.h"
#include "ui/Platform.h"
#include "ui/Previewform.h"
#include "ui/Progressrun.h"
#include "ui/Sheetloading.h"
#include "ui/Windowstyle.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

namespace {
// The window is 469 pixels wide as designed and can only be widened; its height never changes.
constexpr int MIN_WIDTH = 470;
// The designed 158-pixel outer height less its frame, caption and menu bar: the controls' area,
// the last row (at 74, 23 high) with the same margin below it as the first row has above.
constexpr int CLIENT_HEIGHT = 105;
// Client width the anchored controls were placed for (469 less a 4-pixel frame on each side).
constexpr int DESIGN_CLIENT_WIDTH = 461;
constexpr int FORM_FONT_PIXELS = 12;
const QString ABSOLUTE_PATH_TIP = QStringLiteral("The .ccd path must be absolute: it starts with /.");

void Place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(left, top, width, height);
}

void PlaceAuto(QWidget* widget, int left, int top)
{
    widget->adjustSize();
    widget->move(left, top);
}

// Qt leaves a file dialog's completion list open when the dialog closes under it.
void CloseCompletionsWith(QFileDialog* dialog)
{
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog] {
        for (QCompleter* completer : dialog->findChildren<QCompleter*>())
            completer->popup()->hide();
    });
}
} // namespace

TMainFrm::TMainFrm(QWidget* parent) : TDialogOwner(parent)
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
    Conversion.Job.OnStart = [this] { RunOnGuiThread(this, [this] { SetConversionButtonsEnabled(false); }); };
    Conversion.Job.OnEnd = [this] { RunOnGuiThread(this, [this] { SetConversionButtonsEnabled(true); }); };
    Verification.Job.OnStart = Conversion.Job.OnStart;
    Verification.Job.OnEnd = [this] { RunOnGuiThread(this, [this] { RestoreButtonStates(); }); };
    Exporting.Job.OnStart = Conversion.Job.OnStart;
    Exporting.Job.OnEnd = Verification.Job.OnEnd;

    LoadSettings();
    KeepOnScreen(this);
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
    FileExport = AddAction(File1, "FileExport", "Export &Cue Sheet...", &TMainFrm::FileExportExecute);
    FileExit = AddAction(File1, "FileExit", "E&xit", &TMainFrm::FileExitExecute);
    SettingsFont = AddAction(Setting1, "SettingsFont", "&Font", &TMainFrm::SettingsFontExecute);
    SettingsCdText =
        AddAction(Setting1, "SettingsCdText", "&CD-TEXT from the Cue Sheet", &TMainFrm::SettingsCdTextExecute);
    SettingsCdText->setCheckable(true);
    SettingsCdText->setChecked(true);
    HelpUserGuide = AddAction(Help1, "HelpUserGuide", "&User Guide", &TMainFrm::HelpUserGuideExecute);
    HelpUserGuide->setShortcut(QKeySequence::HelpContents);
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
    // Filled by choosing a sheet only: it looks as read-only as it is.
    QPalette readOnly = CuePathEdit->palette();
    readOnly.setColor(QPalette::Base, readOnly.color(QPalette::Window));
    CuePathEdit->setPalette(readOnly);
    // Enter presses a focused button as Space does.
    for (QPushButton* button : {BrowseBtn1, BrowseBtn2, PreviewBtn, ConvBtn})
        button->setAutoDefault(true);
    // Drops on the path boxes reach the window, which tells a sheet from a .ccd path.
    CuePathEdit->setAcceptDrops(false);
    CcdPathEdit->setAcceptDrops(false);

    setTabOrder(CuePathEdit, BrowseBtn1);
    setTabOrder(BrowseBtn1, CcdPathEdit);
    setTabOrder(CcdPathEdit, BrowseBtn2);
    // As the window reads: the checkbox opens the last row.
    setTabOrder(BrowseBtn2, CorrectCk);
    setTabOrder(CorrectCk, PreviewBtn);
    setTabOrder(PreviewBtn, ConvBtn);

    connect(BrowseBtn1, &QPushButton::clicked, FileSelectCue, &QAction::trigger);
    connect(BrowseBtn2, &QPushButton::clicked, FileSelectCcd, &QAction::trigger);
    connect(PreviewBtn, &QPushButton::clicked, this, &TMainFrm::PreviewBtnClick);
    connect(ConvBtn, &QPushButton::clicked, this, &TMainFrm::ConvBtnClick);
    connect(CcdPathEdit, &QLineEdit::textChanged, this, &TMainFrm::CcdPathEditChange);
    connect(CcdPathEdit, &QLineEdit::returnPressed, this, &TMainFrm::CcdPathEditReturn);
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

    VerifyOpenDlg = new QFileDialog(this);
    VerifyOpenDlg->setObjectName(QStringLiteral("VerifyOpenDlg"));
    VerifyOpenDlg->setWindowTitle(QStringLiteral("Verify Image"));
    VerifyOpenDlg->setAcceptMode(QFileDialog::AcceptOpen);
    VerifyOpenDlg->setFileMode(QFileDialog::ExistingFile);
    VerifyOpenDlg->setNameFilters({QStringLiteral("CCD Files (*.ccd)"), QStringLiteral("All Files (*)")});
    ExportOpenDlg = new QFileDialog(this);
    ExportOpenDlg->setObjectName(QStringLiteral("ExportOpenDlg"));
    ExportOpenDlg->setWindowTitle(QStringLiteral("Export Cue Sheet"));
    ExportOpenDlg->setAcceptMode(QFileDialog::AcceptOpen);
    ExportOpenDlg->setFileMode(QFileDialog::ExistingFile);
    ExportOpenDlg->setNameFilters(VerifyOpenDlg->nameFilters());
    for (QFileDialog* dialog : {CueOpenDlg, CcdSaveDlg, VerifyOpenDlg, ExportOpenDlg})
        CloseCompletionsWith(dialog);

    FontChooser.emplace(this);
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
    auto sheet = std::make_unique<TLuCueSheet>();
    sheet->UseSheetCdText = SettingsCdText->isChecked();
    const TSheetLoad load = LoadSheet(this, *sheet, path);
    if (load.Canceled)
        return; // the user's own Cancel: the sheet before stays, and needs no box
    CueSheet = std::move(sheet);
    if (load.Loaded)
    {
        ShowLoadedSheet(path);
        for (const std::string& warning : load.Warnings)
            BeepAndShow(this, {QString::fromStdString(warning), QStringLiteral("Warning"), QMessageBox::Warning,
                               QMessageBox::Ok, QString()});
    }
    else
    {
        CuePathEdit->clear();
        setWindowTitle(QStringLiteral("Sarvex"));
        if (!load.Error.empty())
            ShowError(this, QString::fromStdString(load.Error), load.Detail);
    }
    PreviewBtn->setEnabled(load.Loaded);
    UpdateConvertState();
}

void TMainFrm::ShowLoadedSheet(const QString& path)
{
    const QString ccdPath = CcdPathForSheet(path, CuePathEdit->text());
    CuePathEdit->setText(path);
    CcdPathEdit->setText(ccdPath);
    DefaultCcdPath = FromNativePath(ChangeFileExt(ToNativePath(path), ".ccd"));
    setWindowTitle(QStringLiteral("%1 \u2014 Sarvex").arg(QFileInfo(path).fileName()));
}

QString TMainFrm::CcdPathForSheet(const QString& cuePath, const QString& previousCuePath) const
{
    // The same default as the command-line tool: the sheet's path with .ccd.
    const QString sheetDefault = FromNativePath(ChangeFileExt(ToNativePath(cuePath), ".ccd"));
    const QString current = CcdPathEdit->text();
    if (current.isEmpty() || current == DefaultCcdPath)
        return sheetDefault;
    if (previousCuePath.isEmpty() || cuePath == previousCuePath)
        return current;
    // Typed or chosen for the sheet before: the folder stays the user's, the name follows the sheet.
    return current.left(current.lastIndexOf(u'/') + 1) + QFileInfo(sheetDefault).fileName();
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
    // A name typed without an extension still gets a control file named as one.
    if (QFileInfo(CcdPathEdit->text()).suffix().isEmpty())
        CcdPathEdit->setText(CcdPathEdit->text() + (CcdPathEdit->text().endsWith(u'.') ? "ccd" : ".ccd"));
    if (Conversion.Convert(this, *CueSheet, ToNativePath(CcdPathEdit->text()), CorrectCk->isChecked()))
        ConvertedCcdPath = CcdPathEdit->text();
}

void TMainFrm::FileVerifyExecute()
{
    // Sets are most often checked where they were last written; one just written is offered itself.
    const QString converted = ConvertedCcdPath.isEmpty() ? QString() : FolderOf(ConvertedCcdPath);
    VerifyOpenDlg->setDirectory(
        ExistingFolder(converted, ExistingFolder(FLastVerifyDir, ExistingFolder(FLastCcdDir, QDir::homePath()))));
    VerifyOpenDlg->selectFile(QFileInfo::exists(ConvertedCcdPath) ? QFileInfo(ConvertedCcdPath).fileName() : QString());
    if (VerifyOpenDlg->exec() != QDialog::Accepted || VerifyOpenDlg->selectedFiles().isEmpty())
        return;
    VerifyImage(VerifyOpenDlg->selectedFiles().constFirst());
}

void TMainFrm::VerifyImage(const QString& path)
{
    FLastVerifyDir = FolderOf(path);
    Verification.Verify(this, path);
}

// Sets are exported from where they are verified: the folder of the last one, or the set just written.
void TMainFrm::FileExportExecute()
{
    const QString converted = ConvertedCcdPath.isEmpty() ? QString() : FolderOf(ConvertedCcdPath);
    ExportOpenDlg->setDirectory(
        ExistingFolder(converted, ExistingFolder(FLastVerifyDir, ExistingFolder(FLastCcdDir, QDir::homePath()))));
    ExportOpenDlg->selectFile(QFileInfo::exists(ConvertedCcdPath) ? QFileInfo(ConvertedCcdPath).fileName() : QString());
    if (ExportOpenDlg->exec() != QDialog::Accepted || ExportOpenDlg->selectedFiles().isEmpty())
        return;
    ExportCueSheet(ExportOpenDlg->selectedFiles().constFirst());
}

void TMainFrm::ExportCueSheet(const QString& path)
{
    FLastVerifyDir = FolderOf(path);
    Exporting.Export(this, path);
}

const TJob& TMainFrm::RunningJob() const
{
    if (Exporting.Running())
        return Exporting.Job;
    if (Verification.Running())
        return Verification.Job;
    return Conversion.Job;
}

bool TMainFrm::SetProgressHandler(const TProgressHandler& handler)
{
    return Conversion.Job.SetProgressHandler(handler) && Verification.Job.SetProgressHandler(handler) &&
           Exporting.Job.SetProgressHandler(handler);
}

void TMainFrm::RequestCancel()
{
    RunningJob().RequestCancel();
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

void TMainFrm::PreviewBtnClick()
{
    if (auto* previewFrm = findChild<TPreviewFrm*>(QString(), Qt::FindDirectChildrenOnly))
        previewFrm->exec();
}

void TMainFrm::HelpUserGuideExecute()
{
    if (auto* aboutBox = findChild<TAboutBox*>(QString(), Qt::FindDirectChildrenOnly))
        aboutBox->ShowGuide();
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
    if (const std::optional<TPathFont> chosen = FontChooser->Choose(CurrentPathFont, CuePathEdit->font()))
        ApplyPathFont(*chosen);
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

void TMainFrm::LoadSettings()
{
    const TMainSettings settings = LoadMainSettings(SettingsFilePath());
    move(settings.Left, settings.Top);
    resize(settings.Width, height()); // the height is fixed; the size limits keep the minimum width
    PendingFont = settings.PathFont;
    FLastCueDir = settings.LastCueDir;
    FLastCcdDir = settings.LastCcdDir;
    FLastVerifyDir = settings.LastVerifyDir;
    CorrectCk->setChecked(settings.EdcEcc);
    SettingsCdText->setChecked(settings.CdTextFromCue);
}

void TMainFrm::SaveSettings() const
{
    TMainSettings settings;
    settings.Top = y();
    settings.Left = x();
    settings.Width = width();
    settings.PathFont = CurrentPathFont;
    settings.PathFont.Font = CuePathEdit->font();
    settings.LastCueDir = FLastCueDir;
    settings.LastCcdDir = FLastCcdDir;
    settings.LastVerifyDir = FLastVerifyDir;
    settings.EdcEcc = CorrectCk->isChecked();
    settings.CdTextFromCue = SettingsCdText->isChecked();
    SaveMainSettings(SettingsFilePath(), settings, CuePathEdit->logicalDpiY());
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
