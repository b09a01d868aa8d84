// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Qframe.h"

#include "synthesis/Msf.h"

TQFrame BuildPositionQ(const TQPosition& position) noexcept
{
    TQFrame q{};
    q[0] = static_cast<std::uint8_t>(position.Control << 4 | ADR_POSITION);
    q[1] = ToBcd(static_cast<unsigned>(position.Track));
    q[2] = ToBcd(static_cast<unsigned>(position.Index));
    PutBcdMsf(std::span(q).subspan<3, 3>(), static_cast<std::uint32_t>(position.Relative));
    PutBcdMsf(std::span(q).subspan<7, 3>(), static_cast<std::uint32_t>(position.Absolute));
    return q;
}

TQFields ParseQ(std::span<const std::uint8_t, Q_FRAME_SIZE> q) noexcept
{
    TQFields fields;
    fields.Control = q[0] >> 4;
    fields.Adr = q[0] & 0x0F;
    fields.Track = FromBcd(q[1]);
    fields.Index = FromBcd(q[2]);
    fields.Relative = BcdMsfToFrames(q.subspan<3, 3>());
    fields.Absolute = BcdMsfToFrames(q.subspan<7, 3>());
    return fields;
}
