// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Verifyflow.h"

#include "ui/Messagebox.h"
#include "ui/Platform.h"
#include "ui/Progressrun.h"
#include "ui/Verifyform.h"

void TVerifyFlow::Verify(QWidget* window, const QString& path)
{
    const std::string ccdPath = ToNativePath(path);
    const std::optional<TConvertStatus> status = RunJobWithProgress(
        window, Job, Active, [this, ccdPath] { Job.Run(ccdPath); }, QStringLiteral("Verifying..."));
    if (!status)
        return;

    switch (*status)
    {
    case csSucceeded:
        if (auto* verifyFrm = window->findChild<TVerifyFrm*>(QString(), Qt::FindDirectChildrenOnly))
        {
            verifyFrm->SetReport(Job.Report);
            verifyFrm->exec();
        }
        break;
    case csCanceled: ShowResult(window, QStringLiteral("Verification was canceled.")); break;
    default: ShowError(window, QStringLiteral("Cannot verify \"%1\".").arg(path), FromNativePath(Job.Error.Text())); break;
    }
}
