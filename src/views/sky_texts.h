#pragma once

#include <QString>

#include "decode/gnss_receiver_state.h"

// Texts the sky map and the signal window draw, apart from their fixed captions.

// "G", "S", "L", "A", "Q", "B"; empty for row 0 and numbers outside the table.
QString ConstellationLetter(std::int32_t constellation);
QString ConstellationLetter(Constellation constellation);
// Letter and number, as "G12".
QString SatelliteLabel(Constellation constellation, std::int32_t prn);
// Spoke label: "N" at 0, otherwise the angle.
QString SpokeLabel(int angleDeg);
QString NumberText(std::int32_t value);
// The signal popup's lower line, as "45dB".
QString SnrPopupValueText(std::int32_t value);
