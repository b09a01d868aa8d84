// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: choose the cue sheet and the control file, preview, convert; verify an image set or
// export it to a cue sheet.
#pragma once

#include "cuesheet/Lucue.h"
#include "ui/Conversionflow.h"
#include "ui/Dialogowner.h"
#include "ui/Exportflow.h"
#include "ui/Pathfont.h"
#include "ui/Verifyflow.h"

#include <memory>
#include <utility>
#include <optional>

class QAction;
class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

// The preview, progress, verify report and About dialogs are children of this window; it finds them by type.
class TMainFrm : public TDialogOwner
{
    Q_OBJECT

public:
    explicit TMainFrm(QWidget* parent = nullptr);
    ~TMainFrm() override;

    // The steps after a file dialog, shared with drag and drop and the command line.
    void OpenCueFile(const QString& path);
    void SelectCcdFile(const QString& path);
    // Checks the set a .ccd file names, with the progress dialog, and shows the report or why it failed.
    void VerifyImage(const QString& path);
    // Writes the set a .ccd file names as a cue sheet beside it, with the progress dialog, and tells how it went.
    void ExportCueSheet(const QString& path);

    bool SetProgressHandler(const TProgressHandler& handler) override;
    void RequestCancel() override;
    bool CancelRequested() const { return RunningJob().CancelRequested(); }
    TConvertStatus Status() const { return RunningJob().Status.load(); }

    const TLuCueSheet& Sheet() const override { return *CueSheet; }
    const QString& LastCueDir() const { return FLastCueDir; }
    const QString& LastCcdDir() const { return FLastCcdDir; }
    const QString& LastVerifyDir() const { return FLastVerifyDir; }
    const TPathFont& PathFont() const override { return CurrentPathFont; }
    void ApplyPathFont(const TPathFont& font);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The job the progress dialog serves: an export's or a verification's while one runs, else the conversion's.
    const TJob& RunningJob() const;
    TJob& RunningJob() { return const_cast<TJob&>(std::as_const(*this).RunningJob()); }
    void CreateActions();
    void CreateComponents();
    void CreateDialogs();
    QAction* AddAction(QMenu* menu, const char* name, const char* caption, void (TMainFrm::*handler)());
    void ApplyPendingFont();
    void LayoutAnchored(int clientWidth);
    void SetConversionButtonsEnabled(bool enabled);
    // After a verification: each button as the sheet and the .ccd path allow.
    void RestoreButtonStates();
    void UpdateConvertState();
    // The .ccd path once the sheet at cuePath is loaded in place of the one before.
    QString CcdPathForSheet(const QString& cuePath, const QString& previousCuePath) const;
    void ShowLoadedSheet(const QString& path);

    void FileSelectCueExecute();
    void FileSelectCcdExecute();
    void FileVerifyExecute();
    void FileExportExecute();
    void CcdPathEditChange();
    void CcdPathEditReturn();
    void ConvBtnClick();
    void PreviewBtnClick();
    void SettingsFontExecute();
    void SettingsCdTextExecute();
    void FileExitExecute();
    void HelpAboutExecute();
    void HelpUserGuideExecute();

    // The settings file; loaded by the constructor and saved by FormClose.
    void LoadSettings();
    void SaveSettings() const;
    void FormClose();

    QLabel* Label1 = nullptr;
    QLineEdit* CuePathEdit = nullptr;
    QPushButton* BrowseBtn1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* CcdPathEdit = nullptr;
    QPushButton* BrowseBtn2 = nullptr;
    QPushButton* PreviewBtn = nullptr;
    QPushButton* ConvBtn = nullptr;
    QCheckBox* CorrectCk = nullptr;

    QMenu* File1 = nullptr;
    QMenu* Setting1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* FileSelectCue = nullptr;
    QAction* FileSelectCcd = nullptr;
    QAction* FileVerify = nullptr;
    QAction* FileExport = nullptr;
    QAction* FileExit = nullptr;
    QAction* SettingsFont = nullptr;
    QAction* SettingsCdText = nullptr; // checked: CD-TEXT from the sheet's TITLE, PERFORMER... lines
    QAction* HelpUserGuide = nullptr;
    QAction* HelpAbout = nullptr;

    QFileDialog* CueOpenDlg = nullptr;
    QFileDialog* CcdSaveDlg = nullptr;
    QFileDialog* VerifyOpenDlg = nullptr;
    QFileDialog* ExportOpenDlg = nullptr;
    std::optional<TPathFontChooser> FontChooser;

    // Replaced whole by each load, so that a canceled load leaves the sheet before it.
    std::unique_ptr<TLuCueSheet> CueSheet = std::make_unique<TLuCueSheet>();
    QString DefaultCcdPath;   // the .ccd path last filled in for a sheet, not typed or chosen
    QString ConvertedCcdPath; // the set last written, where Verify Image starts
    QString FLastCueDir;
    QString FLastCcdDir;
    QString FLastVerifyDir; // where the last set to verify was chosen

    TConversionFlow Conversion;
    TVerifyFlow Verification;
    TExportFlow Exporting;
    std::optional<TPathFont> PendingFont;
    TPathFont CurrentPathFont;
};
