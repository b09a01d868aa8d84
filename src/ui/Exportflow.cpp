// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Exportflow.h"

#include "ui/Messagebox.h"
#include "ui/Platform.h"
#include "ui/Progressrun.h"

namespace {

// The report's detail: the summary's further lines, then the warnings.
QString Detail(const TCueExportReport& report)
{
    QString detail = FromNativePath(CueExportSummary(report)).trimmed();
    const qsizetype firstLine = detail.indexOf(u'\n');
    detail = firstLine < 0 ? QString() : detail.mid(firstLine + 1);
    for (const std::string& warning : report.Warnings)
        detail += (detail.isEmpty() ? "" : "\n") + QStringLiteral("Warning: ") + FromNativePath(warning);
    return detail;
}

// Whether the outputs may be written: refused ones are shown, existing ones asked about.
bool MayWrite(QWidget* window, const QString& ccdPath, const TCueExportPlan& plan, bool& force)
{
    const QString cannot = QStringLiteral("Cannot export \"%1\".").arg(ccdPath);
    if (!plan.Problem.empty())
    {
        ShowError(window, cannot, FromNativePath(plan.Problem));
        return false;
    }
    int existing = 0;
    for (const TOutputFile& file : plan.Files)
        existing += file.Exists() ? 1 : 0;
    force = existing > 0;
    if (const std::string refused = RefuseExportOutputs(plan, true); !refused.empty())
    {
        ShowError(window, cannot, FromNativePath(refused));
        return false;
    }
    return existing == 0 ||
           AskYesNo(window, QStringLiteral("%1 of the files the export writes beside \"%2\" already exist. Replace them?")
                                .arg(existing)
                                .arg(FromNativePath(plan.Files.back().Path)));
}

} // namespace

void TExportFlow::Export(QWidget* window, const QString& ccdPath)
{
    const std::string ccd = ToNativePath(ccdPath);
    const std::string cue = DefaultCuePath(ccd);
    bool force = false;
    if (!MayWrite(window, ccdPath, PlanCueExport(ccd, cue, false), force))
        return;
    const std::optional<TConvertStatus> status = RunJobWithProgress(
        window, Job, Active, [this, ccd, cue, force] { Job.Run(ccd, cue, {force, false, false}); },
        QStringLiteral("Exporting..."));
    if (!status)
        return;
    switch (*status)
    {
    case csSucceeded:
    {
        const std::string summary = CueExportSummary(Job.Report);
        ShowResult(window, FromNativePath(summary.substr(0, summary.find('\n'))), Detail(Job.Report));
        break;
    }
    case csCanceled: ShowResult(window, QStringLiteral("Export was canceled.")); break;
    default:
        ShowError(window, QStringLiteral("Cannot export \"%1\".").arg(ccdPath), FromNativePath(Job.Error.Text()));
        break;
    }
}
