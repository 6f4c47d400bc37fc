#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "decode/gnss_receiver_state.h"
#include "intake/intake_dispatcher.h"

// How a command sets up its intake, so that it reads a log as the window would: the window's
// SYNC protocol setting, and optionally one decoder that takes every byte.
struct IntakeChoice {
    std::int32_t syncProtocol = CIntakeDispatcher::kSyncAuto;
    std::optional<ProtocolId> forced;

    void ApplyTo(CIntakeDispatcher& intake) const
    {
        intake.SetSyncProtocol(syncProtocol);
        intake.SetForcedProtocol(forced);
        intake.SetRawLogEnabled(false);
    }
};

// --sync auto|non-nmea
std::optional<std::int32_t> ParseSyncProtocol(std::string_view text);
// --protocol auto|nmea|ubx|sbf|gsof; "auto" leaves the choice to the intake.
bool ParseForcedProtocol(std::string_view text, std::optional<ProtocolId>& forced);
