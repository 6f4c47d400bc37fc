#include "tool/receiver_simulator.h"

std::optional<SimulatedProtocol> ProtocolNamed(std::string_view name)
{
    if (name == "nmea") return SimulatedProtocol::Nmea;
    if (name == "ubx") return SimulatedProtocol::Ubx;
    if (name == "sbf") return SimulatedProtocol::Sbf;
    if (name == "gsof") return SimulatedProtocol::Gsof;
    if (name == "mixed") return SimulatedProtocol::Mixed;
    return std::nullopt;
}

CReceiverSimulator::CReceiverSimulator(const SimulatorOptions& options, SimulatedProtocol protocol)
    : model_(options), protocol_(protocol)
{
}

bool CReceiverSimulator::NextEpoch(std::string& out)
{
    if (!model_.Next()) return false;
    const ReceiverEpoch& epoch = model_.Epoch();
    switch (protocol_) {
        case SimulatedProtocol::Nmea: AppendNmeaEpoch(epoch, out, sentence_); break;
        case SimulatedProtocol::Ubx: AppendUbxEpoch(epoch, out); break;
        case SimulatedProtocol::Sbf: AppendSbfEpoch(epoch, out); break;
        case SimulatedProtocol::Gsof: gsof_.AppendEpoch(epoch, out); break;
        case SimulatedProtocol::Mixed:
            // A u-blox receiver finishes the epoch's navigation frames before its sentences.
            AppendUbxEpoch(epoch, out);
            AppendNmeaEpoch(epoch, out, sentence_);
            break;
    }
    return true;
}
