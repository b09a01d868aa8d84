// The window shown while loading a sheet counts an audio file by decoding it whole: a bar and Cancel,
// shown only once the count takes more than a moment. The load runs on the GUI thread, which the
// dialog keeps responsive while it is shown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class QProgressDialog;
class QWidget;

class TCountDlg
{
public:
    explicit TCountDlg(QWidget* parent);
    ~TCountDlg();
    TCountDlg(const TCountDlg&) = delete;
    TCountDlg& operator=(const TCountDlg&) = delete;

    // A TCountProgressProc: context is the TCountDlg. False once the user pressed Cancel.
    static bool Handler(std::int64_t done, std::int64_t total, const std::string& name, void* context);

    // Null until the first report.
    QProgressDialog* Bar() const { return Dialog.get(); }

private:
    QWidget* Parent;
    std::unique_ptr<QProgressDialog> Dialog;
    std::string Name;
};
