#pragma once

#include <cstdint>

struct GnssReceiverState;

// Copies into snapshot the field groups that an auxiliary decoder delivered this epoch and the
// position source did not (sourceFlags), and marks them in the snapshot's content flags. A
// u-blox receiver's NMEA output is the better source of heights, fix mode, speed, course, fix
// quality and dilutions, so those groups never come from a UBX auxiliary state.
void MergeFieldGroups(const GnssReceiverState& auxiliary, bool auxiliaryIsUbx,
                      std::uint32_t sourceFlags, GnssReceiverState& snapshot);
