// SPDX-License-Identifier: GPL-3.0-or-later
// The Convert button's flow: refuse outputs that must never be written, ask about existing ones,
// run the conversion under the progress dialog and say how it ended.
#pragma once

#include "image/Conversion.h"

#include <string>

class QWidget;
class TLuCueSheet;
struct TOutputPlan;

class TConversionFlow
{
public:
    // window owns the progress dialog and the message boxes. True when the set was written.
    bool Convert(QWidget* window, TLuCueSheet& sheet, const std::string& ccdPath, bool correctEdcEcc);

    TConversionJob Job;

private:
    // Refuses a read-only output, then asks once about those that exist.
    static bool ConfirmOverwrite(QWidget* window, const TOutputPlan& plan);
};
