// SPDX-License-Identifier: GPL-3.0-or-later
// The three ways a conversion carries runs that are a data file's bytes unchanged into the image.
#pragma once

#include "image/Conversion.h"

#include <array>
#include <string>

enum class TRawPath
{
    Kernel, // copied from the data file inside the kernel
    Pipe,   // through a page pipe
    Read,   // read by the composer, written by the writer
};

inline constexpr std::array<TRawPath, 3> RAW_PATHS{TRawPath::Kernel, TRawPath::Pipe, TRawPath::Read};

inline void UseRawPath(TConversionJob& job, TRawPath path)
{
    job.KernelCopy = path == TRawPath::Kernel;
    job.SingleCopy = path == TRawPath::Pipe;
}

inline std::string RawPathName(TRawPath path)
{
    return path == TRawPath::Kernel ? "KernelCopy" : path == TRawPath::Pipe ? "SingleCopy" : "Read";
}
