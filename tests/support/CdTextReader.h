// SPDX-License-Identifier: GPL-3.0-or-later
// libcdio's CD-TEXT reader, as an independent check of the packs.
#pragma once

#include "support/BitCrc.h"

#include <cdio/cdtext.h>

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <tuple>
#include <vector>

// What libcdio reads from a run of 18-byte packs: per block its language and, by (field, track),
// the UTF-8 text.
struct TCdioBlock
{
    int Language = -1;
    int Genre = 0;
    std::map<std::pair<int, int>, std::string> Fields;
};

struct TCdioText
{
    bool Parsed = false;
    std::vector<TCdioBlock> Blocks;

    std::string Get(std::size_t block, cdtext_field_t field, int track) const
    {
        if (block >= Blocks.size())
            return "<no block>";
        const auto found = Blocks[block].Fields.find({field, track});
        return found == Blocks[block].Fields.end() ? "<none>" : found->second;
    }
};

inline TCdioText ReadWithLibcdio(std::vector<std::uint8_t> bytes)
{
    TCdioText result;
    cdtext_t* text = cdtext_init();
    result.Parsed = cdtext_data_init(text, bytes.data(), bytes.size()) == 0;
    const cdtext_lang_t* languages = cdtext_list_languages_v2(text);
    for (int b = 0; result.Parsed && languages && b < 8; ++b)
    {
        if (languages[b] == CDTEXT_LANGUAGE_BLOCK_UNUSED || !cdtext_set_language_index(text, b))
            continue;
        TCdioBlock block;
        block.Language = languages[b];
        block.Genre = cdtext_get_genre(text);
        for (int track = 0; track <= 99; ++track)
            for (int field = MIN_CDTEXT_FIELD; field < MAX_CDTEXT_FIELDS; ++field)
                if (const char* value =
                        cdtext_get_const(text, static_cast<cdtext_field_t>(field), static_cast<track_t>(track)))
                    block.Fields[{field, track}] = value;
        result.Blocks.push_back(block);
    }
    cdtext_destroy(text);
    return result;
}

template <typename TPacks>
std::vector<std::uint8_t> JoinPacks(const TPacks& packs)
{
    std::vector<std::uint8_t> bytes;
    for (const auto& pack : packs)
        bytes.insert(bytes.end(), pack.begin(), pack.end());
    return bytes;
}
