#pragma once

#include <QColor>
#include <array>
#include <cstdint>

#include "decode/gnss_receiver_state.h"

// What the sky map and the signal window share about drawing satellites: constellation
// order and colours, the in-use rule, the band choice and the partial state copy.

inline constexpr int kShownConstellationCount = 6;
using ConstellationOrder = std::array<Constellation, kShownConstellationCount>;

inline constexpr ConstellationOrder kSkyMapOrder = {Constellation::Gps,     Constellation::Sbas,
                                                    Constellation::Glonass, Constellation::BeiDou,
                                                    Constellation::Galileo, Constellation::Qzss};
inline constexpr ConstellationOrder kSignalOrder = {Constellation::Gps,     Constellation::Sbas,
                                                    Constellation::Glonass, Constellation::BeiDou,
                                                    Constellation::Qzss,    Constellation::Galileo};

// Colours are kept as the receiver world writes them: 0x00BBGGRR, red in the low byte.
QColor ColourFromBgr(std::uint32_t bgr);
// Black for row 0 and numbers outside the table.
QColor ConstellationColour(std::int32_t constellation);
bool IsShownConstellation(std::int32_t constellation);

inline const QColor kLabelTextColour{6, 6, 6};
inline const QColor kGridColour{196, 196, 196};
inline const QColor kIdleLabelColour{212, 212, 212};

// Entries of a satellite table row that may be read: the count clamped to the row size.
int InViewCountOf(const GnssReceiverState& state, Constellation constellation);
int UsedCountOf(const GnssReceiverState& state, std::int32_t row);

// Row 0 holds the used satellites of messages that named no constellation; while it has
// entries it decides for every satellite (by number only, Galileo never matches there).
bool IsSatelliteInUse(const GnssReceiverState& state, const SatelliteInView& satellite);

// Sky map label colour: the satellite's own constellation wins over the row it sits in, so
// SBAS and QZSS satellites listed with GPS keep their colour.
QColor SkyLabelColour(Constellation row, const SatelliteInView& satellite);
// Signal bar colour: the row's colour, except that NMEA lists SBAS and QZSS satellites under
// GPS and marks them only by their own constellation number.
QColor SignalBarColour(Constellation row, const SatelliteInView& satellite, bool fromNmea);

// Which band value a signal bar shows and whether the weaker band is marked inside it.
struct SnrBarChoice {
    int value = 0;
    bool l2Bar = false;   // outlined instead of filled
    bool marked = false;  // both bands on and both values present
    int weakerValue = 0;
    bool weakerIsL1 = false;
    bool operator==(const SnrBarChoice&) const = default;
};
SnrBarChoice ChooseSnrBar(const SatelliteInView& satellite, bool l1On, bool l2On);

// Takes what a view needs of a new epoch: the used list and the in-view tables only when
// the epoch delivered them. Returns false (and copies nothing) for an empty epoch.
bool CopySatelliteData(GnssReceiverState& view, const GnssReceiverState& epoch);
