// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Job.h"

#include <exception>

bool TJob::SetProgressHandler(TProgressHandler handler)
{
    if (Running.load())
        return false;
    Handler = std::move(handler);
    return true;
}

void TJob::Notify(TProgressEvent event, std::int32_t value)
{
    if (Handler)
        Handler(event, value);
}

void TJob::RunFramed(const std::function<void()>& body)
{
    Running.store(true);
    Status.store(csIdle);
    Error = {};
    try
    {
        if (OnStart)
            OnStart();
    }
    catch (...)
    {}
    Notify(peSetRange, 2);
    try
    {
        body();
    }
    catch (const EError& error)
    {
        Error = error.Error;
        Status.store(csFailed);
        Notify(peAborted, 0);
    }
    catch (const std::exception& error)
    {
        Error = {0, {}, 0, error.what()};
        Status.store(csFailed);
        Notify(peAborted, 0);
    }
    catch (...)
    {
        Error = {0, {}, 0, "unknown error"};
        Status.store(csFailed);
        Notify(peAborted, 0);
    }
    // The handler is done with; a front end may set the next one once OnEnd has told it.
    Running.store(false);
    try
    {
        if (OnEnd)
            OnEnd();
    }
    catch (...)
    {}
}
