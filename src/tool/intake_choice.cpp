#include "tool/intake_choice.h"

#include <utility>

std::optional<std::int32_t> ParseSyncProtocol(std::string_view text)
{
    if (text == "auto") return CIntakeDispatcher::kSyncAuto;
    if (text == "non-nmea") return CIntakeDispatcher::kSyncNonNmea;
    return std::nullopt;
}

bool ParseForcedProtocol(std::string_view text, std::optional<ProtocolId>& forced)
{
    static constexpr std::pair<std::string_view, ProtocolId> kNames[] = {
        {"nmea", ProtocolId::Nmea},
        {"ubx", ProtocolId::Ubx},
        {"sbf", ProtocolId::Sbf},
        {"gsof", ProtocolId::Gsof}};
    if (text == "auto") {
        forced.reset();
        return true;
    }
    for (const auto& [name, id] : kNames) {
        if (text == name) {
            forced = id;
            return true;
        }
    }
    return false;
}
