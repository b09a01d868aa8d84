// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/Avlibrary.h"

#include <dlfcn.h>

#include <array>
#include <mutex>
#include <type_traits>

namespace {

enum TAvPart : int
{
    AvUtil,
    AvCodec,
    AvFormat,
};

// The sonames this build was compiled against: another major version has other structures.
const std::array<std::string, 3> SONAMES = {
    "libavutil.so." + std::to_string(LIBAVUTIL_VERSION_MAJOR),
    "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." + std::to_string(LIBAVFORMAT_VERSION_MAJOR),
};

std::once_flag loadOnce;
TAvLibrary library;
bool loaded = false;
std::string loadError;

std::string DlError()
{
    const char* text = dlerror();
    return text != nullptr ? text : "unknown error";
}

void Load()
{
    // In dependency order; the handles stay open for the life of the process.
    std::array<void*, 3> handles{};
    for (std::size_t i = 0; i < handles.size(); ++i)
    {
        handles[i] = dlopen(SONAMES[i].c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handles[i] == nullptr)
        {
            loadError = "cannot load " + SONAMES[i] + ": " + DlError();
            return;
        }
    }
    bool complete = true;
    auto resolve = [&](auto& function, TAvPart part, const char* name) {
        if (!complete)
            return;
        void* symbol = dlsym(handles[part], name);
        if (symbol == nullptr)
        {
            loadError = "cannot find " + std::string(name) + " in " + SONAMES[part];
            complete = false;
            return;
        }
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(symbol);
    };
#define SARVEX_AV_RESOLVE(part, name) resolve(library.name, part, #name);
    SARVEX_AV_FUNCTIONS(SARVEX_AV_RESOLVE)
#undef SARVEX_AV_RESOLVE
    loaded = complete;
}

} // namespace

const TAvLibrary* LoadAvLibrary()
{
    std::call_once(loadOnce, Load);
    return loaded ? &library : nullptr;
}

const std::string& AvLoadError()
{
    LoadAvLibrary();
    return loadError;
}
