#include "image/Job.h"

#include <exception>

bool TJob::SetProgressHandler(TProgressProc handler, void* dialog)
{
    if (Status.load() != csIdle)
        return false;
    Handler = handler;
    Dialog = dialog;
    return true;
}

void TJob::Notify(TProgressEvent event, std::int32_t value)
{
    if (Handler != nullptr)
        Handler(event, value, Dialog);
}

void TJob::RunFramed(const std::function<void()>& body)
{
    ErrorText.clear();
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
    catch (const std::exception& error)
    {
        ErrorText = error.what();
        Status.store(csFailed);
        Notify(peAborted, 0);
    }
    catch (...)
    {
        ErrorText = "unknown error";
        Status.store(csFailed);
        Notify(peAborted, 0);
    }
    try
    {
        if (OnEnd)
            OnEnd();
    }
    catch (...)
    {}
}
