#pragma once

#include <QString>
#include <QStringList>
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

private:
    struct Entry {
        EpochStage stage;
        QString name;
        EpochSink sink;
    };
    std::vector<Entry> sinks_;
};
