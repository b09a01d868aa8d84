#include "image/Verifyreport.h"

#include "synthesis/Msf.h"

#include <nlohmann/json.hpp>

#include <cstdarg>
#include <cstdio>

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
    json["ccd"] = report.CcdPath;
    json["img"] = report.ImgPath;
    json["sub"] = report.SubPath;
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
        json["side_car"] = {{"file", report.SideCar},           {"listed", report.SideCarListed},
                            {"matched", report.SideCarMatched}, {"differing", report.SideCarDiffering},
                            {"absent", report.SideCarAbsent},   {"unlisted", report.SideCarUnlisted}};
    else if (!report.SideCar.empty())
        json["side_car"] = {{"file", report.SideCar}, {"readable", false}};
    json["findings"] = nlohmann::ordered_json::array();
    for (const TFinding& f : report.Findings)
    {
        nlohmann::ordered_json item;
        item["kind"] = FindingKindName(f.Kind);
        if (f.Lba >= 0)
        {
            item["msf"] = Msf(f.Lba);
            item["lba"] = f.Lba;
        }
        item["text"] = f.Text;
        json["findings"].push_back(item);
    }
    // Paths and texts may hold bytes that are not UTF-8; those are replaced, never a throw.
    return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
