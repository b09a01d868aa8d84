// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl-C and SIGTERM cancel the work in progress instead of killing the process mid-write.
#pragma once

// handler runs in signal context: it may only store into atomics. Interrupted reads and writes restart.
void OnCancelSignals(void (*handler)(int));
