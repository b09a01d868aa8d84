// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Conversionflow.h"

#include "image/Outputplan.h"
#include "ui/Messagebox.h"
#include "ui/Platform.h"
#include "ui/Progressrun.h"

#include <QStringList>

bool TConversionFlow::Convert(QWidget* window, TLuCueSheet& sheet, const std::string& ccdPath, bool correctEdcEcc)
{
    const TOutputPlan plan = PlanOutputs(ccdPath, sheet);
    // Outputs that must never be written are refused before any question.
    if (!plan.Problem.empty())
    {
        ShowError(window, FromNativePath(plan.Problem));
        return false;
    }
    if (!ConfirmOverwrite(window, plan))
        return false;

    const auto run = [this, ccdPath, correctEdcEcc, &sheet] { Job.Run(ccdPath, correctEdcEcc, sheet); };
    if (!RunWithProgress(window, run, QStringLiteral("Converting...")))
    {
        Job.Reset();
        return false;
    }

    const bool written = Job.Status.load() == csSucceeded;
    switch (Job.Status.load())
    {
    // "successfull" keeps its historic spelling: users' scripts and stored logs match the text.
    case csSucceeded:
        ShowResult(
            window, QStringLiteral("Operation was successfull."),
            QStringLiteral("%1 sectors written to \"%2\" and \"%3\", described by \"%4\".")
                .arg(Job.SectorsWritten)
                .arg(FromNativePath(plan.ImgPath()), FromNativePath(plan.SubPath()), FromNativePath(plan.CcdPath())));
        break;
    case csCanceled: ShowResult(window, QStringLiteral("Operation was canceled.")); break;
    default: ShowError(window, QStringLiteral("Operation was failure."), FromNativePath(Job.Error.Text())); break;
    }
    Job.Reset();
    return written;
}

bool TConversionFlow::ConfirmOverwrite(QWidget* window, const TOutputPlan& plan)
{
    // A file that cannot be replaced is said before any question, which would be in vain.
    QStringList existing;
    for (const TOutputFile& file : plan.Files)
    {
        if (!file.Exists())
            continue;
        const QString path = FromNativePath(file.Path);
        if (file.ReadOnly())
        {
            ShowError(window, QStringLiteral("\"%1\" is a read-only file.").arg(path));
            return false;
        }
        existing.push_back(QStringLiteral("\"%1\"").arg(path));
    }
    if (existing.isEmpty())
        return true;
    if (existing.size() == 1)
        return AskYesNo(window, QStringLiteral("%1 already exists. Will you overwrite it?").arg(existing[0]));
    return AskYesNo(
        window, QStringLiteral("These files already exist:\n%1\nWill you overwrite them?").arg(existing.join(u'\n')));
}
