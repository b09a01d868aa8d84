// The main window: choose the cue sheet and the control file, preview, convert; verify an image set.
#pragma once

#include "cuesheet/Lucue.h"
#include "image/Conversion.h"
#include "image/Verifier.h"

#include <QFont>
#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QFontDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
struct TOutputFile;

// The path boxes' font with the parts a QFont does not carry.
struct TPathFont
{
    QFont Font;
    std::int32_t Color = SYSTEM_WINDOW_TEXT;
    std::int32_t Pitch = 0;   // 0 default, 1 variable, 2 fixed
    std::int32_t Charset = 0; // kept for the settings file only

    // 0x80000008: the system's window text colour rather than a fixed one.
    static constexpr std::int32_t SYSTEM_WINDOW_TEXT = static_cast<std::int32_t>(0x80000008u);
};

// The preview, progress, verify report and About dialogs are children of this window; it finds them by type.
class TMainFrm : public QMainWindow
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

    // For the progress dialog, which serves the conversion and the verification alike.
    // Refused while a run is going on.
    bool SetProgressHandler(const TProgressHandler& handler);
    void RequestCancel();
    bool CancelRequested() const { return Verifying ? VerifyJob.CancelRequested() : Job.CancelRequested(); }
    TConvertStatus Status() const { return Verifying ? VerifyJob.Status.load() : Job.Status.load(); }

    const TLuCueSheet& Sheet() const { return CueSheet; }
    const QString& LastCueDir() const { return FLastCueDir; }
    const QString& LastCcdDir() const { return FLastCcdDir; }
    const QString& LastVerifyDir() const { return FLastVerifyDir; }
    const TPathFont& PathFont() const { return CurrentPathFont; }
    void ApplyPathFont(const TPathFont& font);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
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
    void RunOnGuiThread(std::function<void()> work);
    // Runs body in a worker thread under the progress dialog, titled caption; returns once the dialog
    // has closed, or false when no thread could be started.
    bool RunWithProgress(std::function<void()> body, const QString& caption);
    void RestoreWindow();
    void KeepOnScreen();

    bool ConfirmOverwrite(const TOutputFile& file);
    void FileSelectCueExecute();
    void FileSelectCcdExecute();
    void FileVerifyExecute();
    void CcdPathEditChange();
    void CcdPathEditReturn();
    void ConvBtnClick();
    void PreviewBtnClick();
    void SettingsFontExecute();
    void SettingsCdTextExecute();
    void FileExitExecute();
    void HelpAboutExecute();
    // The worker thread's body.
    void RunConversion();

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
    QAction* FileExit = nullptr;
    QAction* SettingsFont = nullptr;
    QAction* SettingsCdText = nullptr; // checked: CD-TEXT from the sheet's TITLE, PERFORMER... lines
    QAction* HelpAbout = nullptr;

    QFileDialog* CueOpenDlg = nullptr;
    QFileDialog* CcdSaveDlg = nullptr;
    QFileDialog* VerifyOpenDlg = nullptr;
    QFontDialog* FontDlg = nullptr;
    QComboBox* FontColorBox = nullptr; // added to FontDlg's effects; null when it has none

    TLuCueSheet CueSheet;
    QString FLastCueDir;
    QString FLastCcdDir;
    QString FLastVerifyDir; // where the last set to verify was chosen

    TConversionJob Job;
    std::string ConvCcdPath; // read on the GUI thread before the worker starts
    bool ConvCorrectEdcEcc = true;
    TVerifyJob VerifyJob;
    std::string VerifyCcdPath; // read on the GUI thread before the worker starts
    bool Verifying = false;    // which job the progress dialog is serving
    std::optional<TPathFont> PendingFont;
    TPathFont CurrentPathFont;
};
