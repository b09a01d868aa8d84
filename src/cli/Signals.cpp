// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Signals.h"

#include <csignal>

void OnCancelSignals(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
