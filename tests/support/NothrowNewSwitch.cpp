// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/NothrowNewSwitch.h"

#include <new>

namespace testsupport {
bool FailNothrowNew = false;
}

// Only the nothrow form is replaced: the coding tables are the one user of it in the core. It draws
// from the ordinary operator new, so the plain delete that frees the tables matches.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (testsupport::FailNothrowNew)
        return nullptr;
    try
    {
        return ::operator new(size);
    }
    catch (...)
    {
        return nullptr;
    }
}
