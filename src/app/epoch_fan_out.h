#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "app/frame_services.h"

// Hands each shown epoch to the sinks that views and controllers registered, in the order of
// their stages (and of registration within a stage), whatever order they registered in.
class CEpochFanOut {
public:
    void Add(EpochStage stage, const QString& name, EpochSink sink);
    // Returns whether the epoch had a valid position.
    bool Refresh(GnssReceiverState& state) const;
    // The sinks' names in the order they run.
    QStringList Names() const;

    static bool HasValidPosition(const GnssReceiverState& state);
    // The fix class the plot and the map colour a position by: the GGA fix quality, or from
    // the fix mode alone 1 (2D or better) or 0.
    static std::int32_t FixClassOf(const GnssReceiverState& state);

private:
    struct Entry {
        EpochStage stage;
        QString name;
        EpochSink sink;
    };
    std::vector<Entry> sinks_;
};
