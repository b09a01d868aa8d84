// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Verifyreport.h"

#include "synthesis/Msf.h"

#include <nlohmann/json.hpp>

#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <string_view>

namespace {

std::string Msf(std::int32_t lba)
{
    if (lba < 0)
        return "--:--:--";
    return FramesToStr(lba + PROGRAM_START);
}

std::string ModeName(std::int32_t mode)
{
    return mode == 0 ? "AUDIO" : mode < 0 ? "DATA" : "MODE" + std::to_string(mode);
}

// The length of the valid UTF-8 sequence at text[at], or 0: overlong forms, surrogates and code
// points past U+10FFFF are not valid.
std::size_t Utf8Length(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    const unsigned second = length > 1 ? byte(at + 1) : 0x80;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

// JSON holds text only: a byte that is not part of valid UTF-8 is written as the four characters "\xHH",
// so that a file name can still be told apart from another.
std::string EscapedUtf8(std::string_view text)
{
    std::string out;
    for (std::size_t at = 0; at < text.size();)
    {
        if (const std::size_t length = Utf8Length(text, at); length > 0)
        {
            out.append(text.substr(at, length));
            at += length;
            continue;
        }
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[at++]));
        out += escape;
    }
    return out;
}

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return std::string(text) + "\n";
}

} // namespace

const char* FindingKindName(TFindingKind kind)
{
    switch (kind)
    {
    case fkFile: return "file";
    case fkToc: return "TOC";
    case fkCdText: return "CD-TEXT";
    case fkQCrc: return "Q CRC";
    case fkQPosition: return "Q position";
    case fkQIsrc: return "Q ISRC";
    case fkQCatalog: return "Q catalogue";
    case fkPFlag: return "P flag";
    case fkSync: return "sync";
    case fkHeader: return "header";
    case fkEdc: return "EDC";
    case fkEccP: return "ECC P";
    case fkEccQ: return "ECC Q";
    case fkRwParity: return "R-W parity";
    case fkSideCar: return "side-car";
    }
    return "?";
}

const char* FindingKindCode(TFindingKind kind)
{
    static constexpr const char* CODES[] = {"file",   "toc",  "cd_text", "q_crc", "q_position",
                                            "q_isrc", "q_catalogue", "p_flag", "sync", "header",
                                            "edc",    "ecc_p", "ecc_q", "rw_parity", "side_car"};
    static_assert(std::size(CODES) == fkSideCar + 1);
    return kind <= fkSideCar ? CODES[kind] : "?";
}

bool IsSound(const TVerifyReport& report)
{
    return report.Problems == 0;
}

std::string BuildVerifyText(const TVerifyReport& report)
{
    std::string out = "Verify report for \"" + report.CcdPath + "\"\n";
    // Counted as the problems count the image, a partial last sector included.
    out += Line("%lld %s (%s), %zu track%s\n", static_cast<long long>(report.Sectors),
                report.PartialBytes != 0 ? "whole sectors and a partial one" : "sectors",
                Msf(static_cast<std::int32_t>(report.Sectors) - PROGRAM_START).c_str(), report.Tracks.size(),
                report.Tracks.size() == 1 ? "" : "s");
    out += "Track  Mode   First LBA   Sectors  Q CRC  Q pos  Q other  Header    EDC    ECC    R-W\n";
    for (const TTrackReport& t : report.Tracks)
        if (!t.InImage)
            out += Line("%5d  %-5s  %9d  %8s  not in the image", t.Number, ModeName(t.Mode).c_str(), t.FirstLba, "-");
        else
            out += Line(
                "%5d  %-5s  %9d  %8lld  %5lld  %5lld  %7lld  %6lld  %5lld  %5lld  %5lld", t.Number,
                ModeName(t.Mode).c_str(), t.FirstLba, static_cast<long long>(t.Sectors), static_cast<long long>(t.QCrc),
                static_cast<long long>(t.QPosition), static_cast<long long>(t.QOther), static_cast<long long>(t.Header),
                static_cast<long long>(t.Edc), static_cast<long long>(t.Ecc), static_cast<long long>(t.RwParity));
    if (!report.LibCryptLbas.empty())
        out += Line("\nLibCrypt-style protection frames: %zu (Q frames with a deliberately bad CRC in track 1, "
                    "not corruption)",
                    report.LibCryptLbas.size());
    // The path goes in whole; Line() has a fixed buffer.
    if (report.SideCarMatched >= 0)
        out += std::string(report.LibCryptLbas.empty() ? "\n" : "") + "Side-car " + report.SideCar +
               Line(" lists %d frame%s: matching %d, differing %d, not in the set %d; protection frames it "
                    "leaves out %d",
                    report.SideCarListed, report.SideCarListed == 1 ? "" : "s", report.SideCarMatched,
                    report.SideCarDiffering, report.SideCarAbsent, report.SideCarUnlisted);
    else if (!report.SideCar.empty())
        out += "\nSide-car " + report.SideCar + " cannot be read; it is not compared\n";
    out += "\n";
    if (IsSound(report))
    {
        out += "No problems found: the set is sound.\n";
        return out;
    }
    out += Line("Problems found: %lld%s", static_cast<long long>(report.Problems),
                static_cast<std::int64_t>(report.Findings.size()) < report.Problems
                    ? (" (the first " + std::to_string(report.Findings.size()) + " follow)").c_str()
                    : "");
    out += "MM:SS:FF       LBA  Kind         What\n";
    for (const TFinding& f : report.Findings)
        out += Line("%s  %8s  %-11s  %s", Msf(f.Lba).c_str(), f.Lba < 0 ? "-" : std::to_string(f.Lba).c_str(),
                    FindingKindName(f.Kind), f.Text.c_str());
    return out;
}

std::string BuildVerifyJson(const TVerifyReport& report)
{
    nlohmann::ordered_json json;
    json["format"] = VERIFY_JSON_FORMAT;
    json["ccd"] = EscapedUtf8(report.CcdPath);
    json["img"] = EscapedUtf8(report.ImgPath);
    json["sub"] = EscapedUtf8(report.SubPath);
    json["sectors"] = report.Sectors;
    json["sound"] = IsSound(report);
    json["problems"] = report.Problems;
    json["tracks"] = nlohmann::ordered_json::array();
    for (const TTrackReport& t : report.Tracks)
        json["tracks"].push_back({{"number", t.Number},
                                  {"mode", ModeName(t.Mode)},
                                  {"first_lba", t.FirstLba},
                                  {"sectors", t.Sectors},
                                  {"q_crc_errors", t.QCrc},
                                  {"q_position_errors", t.QPosition},
                                  {"q_other_errors", t.QOther},
                                  {"header_errors", t.Header},
                                  {"edc_errors", t.Edc},
                                  {"ecc_errors", t.Ecc},
                                  {"rw_parity_errors", t.RwParity}});
    json["libcrypt_frames"] = report.LibCryptLbas;
    if (report.SideCarMatched >= 0)
        json["side_car"] = {{"file", EscapedUtf8(report.SideCar)}, {"listed", report.SideCarListed},
                            {"matched", report.SideCarMatched}, {"differing", report.SideCarDiffering},
                            {"absent", report.SideCarAbsent},   {"unlisted", report.SideCarUnlisted}};
    else if (!report.SideCar.empty())
        json["side_car"] = {{"file", EscapedUtf8(report.SideCar)}, {"readable", false}};
    json["findings"] = nlohmann::ordered_json::array();
    for (const TFinding& f : report.Findings)
    {
        nlohmann::ordered_json item;
        item["kind"] = FindingKindCode(f.Kind);
        item["kind_text"] = FindingKindName(f.Kind);
        if (f.Lba >= 0)
        {
            item["msf"] = Msf(f.Lba);
            item["lba"] = f.Lba;
        }
        item["text"] = EscapedUtf8(f.Text);
        json["findings"].push_back(item);
    }
    return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
