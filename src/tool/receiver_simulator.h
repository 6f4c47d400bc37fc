#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tool/epoch_writers.h"
#include "tool/receiver_model.h"

enum class SimulatedProtocol { Nmea, Ubx, Sbf, Gsof, Mixed };

// "nmea", "ubx", "sbf", "gsof", "mixed".
std::optional<SimulatedProtocol> ProtocolNamed(std::string_view name);

// The project's own receiver, speaking one protocol: a multi-constellation NMEA 4.11
// receiver, or the same receiver in u-blox UBX, Septentrio SBF or Trimble GSOF, or UBX
// followed by NMEA in each epoch as a u-blox receiver sends both. The same options and
// seed always give the same bytes, and the same epochs whatever the protocol.
class CReceiverSimulator {
public:
    explicit CReceiverSimulator(const SimulatorOptions& options,
                                SimulatedProtocol protocol = SimulatedProtocol::Nmea);

    // Appends the messages of the next epoch to out; false once the run is over.
    bool NextEpoch(std::string& out);
    // Number of epochs the whole run produces.
    std::uint64_t EpochCount() const { return model_.EpochCount(); }

private:
    CReceiverModel model_;
    SimulatedProtocol protocol_;
    CGsofWriter gsof_;
    std::string sentence_;
};
