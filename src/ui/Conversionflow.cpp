#include "ui/Conversionflow.h"

#include "image/Outputplan.h"
#include "ui/Messagebox.h"
#include "ui/Platform.h"
#include "ui/Progressrun.h"

void TConversionFlow::Convert(QWidget* window, TLuCueSheet& sheet, const std::string& ccdPath, bool correctEdcEcc)
{
    const TOutputPlan plan = PlanOutputs(ccdPath, sheet);
    // Outputs that must never be written are refused before any question.
    if (!plan.Problem.empty())
    {
        ShowError(window, FromNativePath(plan.Problem));
        return;
    }
    for (const TOutputFile& file : plan.Files)
        if (!ConfirmOverwrite(window, file))
            return;

    const auto run = [this, ccdPath, correctEdcEcc, &sheet] { Job.Run(ccdPath, correctEdcEcc, sheet); };
    if (!RunWithProgress(window, run, QStringLiteral("Converting...")))
    {
        Job.Reset();
        return;
    }

    switch (Job.Status.load())
    {
    // "successfull" keeps its historic spelling: users' scripts and stored logs match the text.
    case csSucceeded: ShowResult(window, QStringLiteral("Operation was successfull.")); break;
    case csCanceled: ShowResult(window, QStringLiteral("Operation was canceled.")); break;
    default: ShowError(window, QStringLiteral("Operation was failure."), FromNativePath(Job.ErrorText)); break;
    }
    Job.Reset();
}

bool TConversionFlow::ConfirmOverwrite(QWidget* window, const TOutputFile& file)
{
    if (!file.Exists())
        return true;
    const QString path = FromNativePath(file.Path);
    if (!AskConfirm(window, QStringLiteral("\"%1\" already exists. Will you overwrite it?").arg(path)))
        return false;
    if (file.ReadOnly())
    {
        ShowError(window, QStringLiteral("\"%1\" is a read-only file.").arg(path));
        return false;
    }
    return true;
}
