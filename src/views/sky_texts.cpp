#include "views/sky_texts.h"

#include <array>

namespace {
// Galileo takes "A" because "G" is GPS's.
constexpr std::array<const char*, kConstellationCount> kLetters = {"",  "G", "S", "L",
                                                                   "A", "Q", "B"};
}  // namespace

QString ConstellationLetter(std::int32_t constellation)
{
    if (constellation < 0 || constellation >= kConstellationCount) return {};
    return QString::fromLatin1(kLetters[static_cast<std::size_t>(constellation)]);
}

QString ConstellationLetter(Constellation constellation)
{
    return ConstellationLetter(static_cast<std::int32_t>(constellation));
}

QString SatelliteLabel(Constellation constellation, std::int32_t prn)
{
    return ConstellationLetter(constellation) + NumberText(prn);
}

QString SpokeLabel(int angleDeg)
{
    return angleDeg == 0 ? QStringLiteral("N") : NumberText(angleDeg);
}

QString NumberText(std::int32_t value) { return QString::number(value); }

QString SnrPopupValueText(std::int32_t value) { return NumberText(value) + QStringLiteral("dB"); }
