#include "ui/Countdialog.h"

#include <QProgressDialog>

#include <algorithm>

namespace {

constexpr int STEPS = 1000;
// A count shorter than this shows nothing.
constexpr int SHOW_AFTER_MS = 500;

} // namespace

TCountDlg::TCountDlg(QWidget* parent) : Parent(parent) {}

TCountDlg::~TCountDlg() = default;

bool TCountDlg::Handler(std::int64_t done, std::int64_t total, const std::string& name, void* context)
{
    auto& self = *static_cast<TCountDlg*>(context);
    if (!self.Dialog)
    {
        self.Dialog = std::make_unique<QProgressDialog>(self.Parent);
        self.Dialog->setWindowTitle(QStringLiteral("Loading"));
        self.Dialog->setCancelButtonText(QStringLiteral("Cancel"));
        self.Dialog->setWindowModality(Qt::WindowModal);
        self.Dialog->setMinimumDuration(SHOW_AFTER_MS);
        self.Dialog->setAutoClose(false);
        self.Dialog->setAutoReset(false);
        self.Dialog->setRange(0, STEPS);
    }
    QProgressDialog& dialog = *self.Dialog;
    if (name != self.Name)
    {
        // Each file counts from its start: the wait before showing starts again too.
        self.Name = name;
        dialog.setLabelText(QStringLiteral("Counting samples of %1...").arg(QString::fromStdString(name)));
        dialog.reset();
        dialog.setValue(0);
    }
    const auto step = static_cast<int>(total > 0 ? std::clamp<std::int64_t>(done * STEPS / total, 0, STEPS) : 0);
    if (step > 0 && step < STEPS)
        dialog.setValue(step);
    else if (step == STEPS)
        dialog.hide();
    return !dialog.wasCanceled();
}
