// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio/Error.h"

std::string TError::Text() const
{
    if (File.empty())
        return Reason;
    std::string text = File;
    if (Line != 0)
        text.append(1, ':').append(std::to_string(Line));
    return text.append(": ").append(Reason);
}
