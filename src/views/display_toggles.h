#pragma once

#include <QObject>
#include <array>

#include "decode/gnss_receiver_state.h"

// The constellation and band switches of the filter toolbar. One instance is shared by the
// sky map and the signal window so that both always show the same selection.
class CDisplayToggles : public QObject {
    Q_OBJECT

public:
    enum class Band { L1, L2 };

    explicit CDisplayToggles(QObject* parent = nullptr);

    // Row 0 (unspecified) and numbers outside the table are never shown.
    bool IsConstellationOn(Constellation constellation) const;
    bool IsConstellationOn(std::int32_t constellation) const;
    // GPS and SBAS share one switch: setting either sets both.
    void SetConstellation(Constellation constellation, bool on);
    // Flips a switch as its toolbar button does; returns the new value.
    bool ToggleConstellation(Constellation constellation);

    bool IsBandOn(Band band) const;
    void SetBand(Band band, bool on);
    bool ToggleBand(Band band);

signals:
    // Emitted once per call that actually changed a switch.
    void changed();

private:
    std::array<bool, kConstellationCount> constellationOn_{};
    bool l1On_ = true;
    bool l2On_ = true;
};
