// SPDX-License-Identifier: GPL-3.0-or-later
// FFmpeg's libavutil, libavcodec and libavformat, loaded when the first compressed file needs them:
// they pull in over a hundred libraries, which WAVE, BINARY and FLAC sheets should not pay for.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
}

#include <string>

// Every FFmpeg function the decoded source calls, with the library that holds it.
#define SARVEX_AV_FUNCTIONS(X)                                                                                         \
    X(AvUtil, av_free)                                                                                                 \
    X(AvUtil, av_freep)                                                                                                \
    X(AvUtil, av_malloc)                                                                                               \
    X(AvUtil, av_strdup)                                                                                               \
    X(AvUtil, av_strerror)                                                                                             \
    X(AvUtil, av_log_set_level)                                                                                        \
    X(AvUtil, av_rescale_q)                                                                                            \
    X(AvUtil, av_get_bytes_per_sample)                                                                                 \
    X(AvUtil, av_frame_alloc)                                                                                          \
    X(AvUtil, av_frame_free)                                                                                           \
    X(AvUtil, av_frame_unref)                                                                                          \
    X(AvCodec, av_packet_alloc)                                                                                        \
    X(AvCodec, av_packet_free)                                                                                         \
    X(AvCodec, av_packet_unref)                                                                                        \
    X(AvCodec, av_packet_get_side_data)                                                                                \
    X(AvCodec, avcodec_descriptor_get)                                                                                 \
    X(AvCodec, avcodec_find_decoder)                                                                                   \
    X(AvCodec, avcodec_find_decoder_by_name)                                                                           \
    X(AvCodec, avcodec_get_name)                                                                                       \
    X(AvCodec, avcodec_alloc_context3)                                                                                 \
    X(AvCodec, avcodec_free_context)                                                                                   \
    X(AvCodec, avcodec_parameters_to_context)                                                                          \
    X(AvCodec, avcodec_open2)                                                                                          \
    X(AvCodec, avcodec_send_packet)                                                                                    \
    X(AvCodec, avcodec_receive_frame)                                                                                  \
    X(AvFormat, av_probe_input_format3)                                                                                \
    X(AvFormat, av_find_best_stream)                                                                                   \
    X(AvFormat, av_read_frame)                                                                                         \
    X(AvFormat, avio_alloc_context)                                                                                    \
    X(AvFormat, avio_context_free)                                                                                     \
    X(AvFormat, avformat_alloc_context)                                                                                \
    X(AvFormat, avformat_open_input)                                                                                   \
    X(AvFormat, avformat_find_stream_info)                                                                             \
    X(AvFormat, avformat_close_input)

// The functions under their own names, so that calls read as FFmpeg's documentation writes them.
struct TAvLibrary
{
#define SARVEX_AV_MEMBER(library, name) decltype(&::name) name = nullptr;
    SARVEX_AV_FUNCTIONS(SARVEX_AV_MEMBER)
#undef SARVEX_AV_MEMBER
};

// Loads the libraries on the first call (once per process, from any thread) and keeps them loaded.
// Returns nullptr when a library or one of its functions is missing; AvLoadError() then says which.
const TAvLibrary* LoadAvLibrary();
const std::string& AvLoadError();
