// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The coding tables are allocated with nothrow new; setting this makes the next such
// allocations fail, so tests can reach the no-table paths.
namespace testsupport {
extern bool FailNothrowNew;
}
