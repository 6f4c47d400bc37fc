#include "intake/state_merge.h"

#include <cstring>
#include <type_traits>

#include "decode/gnss_receiver_state.h"

namespace {

using Copy = void (*)(const GnssReceiverState&, GnssReceiverState&);

struct FieldGroup {
    std::uint32_t flag;
    bool fromUbx;
    Copy copy;
};

template <class Table>
void CopyArray(const Table& from, Table& to)
{
    static_assert(std::is_trivially_copyable_v<Table>);
    std::memcpy(&to, &from, sizeof to);
}

constexpr FieldGroup kGroups[] = {
    {ContentFlag::BaseStation, true,
     [](const GnssReceiverState& a, GnssReceiverState& s) {
         s.baseLatitudeDeg = a.baseLatitudeDeg;
         s.baseLongitudeDeg = a.baseLongitudeDeg;
         s.baseHeight = a.baseHeight;
     }},
    {ContentFlag::Baseline, true,
     [](const GnssReceiverState& a, GnssReceiverState& s) {
         s.baselineNorth = a.baselineNorth;
         s.baselineEast = a.baselineEast;
         s.baselineUp = a.baselineUp;
     }},
    {ContentFlag::Position, true,
     [](const GnssReceiverState& a, GnssReceiverState& s) {
         s.latitudeDeg = a.latitudeDeg;
         s.longitudeDeg = a.longitudeDeg;
     }},
    {ContentFlag::Height, false,
     [](const GnssReceiverState& a, GnssReceiverState& s) {
         s.ellipsoidHeight = a.ellipsoidHeight;
         s.geoidSeparation = a.geoidSeparation;
         s.mslAltitude = a.mslAltitude;
     }},
    {ContentFlag::FixMode, false,
     [](const GnssReceiverState& a, GnssReceiverState& s) { s.fixMode = a.fixMode; }},
    {ContentFlag::TimeOfDay, true,
     [](const GnssReceiverState& a, GnssReceiverState& s) {
         s.timeOfDayMs = a.timeOfDayMs;
         s.timeOfDaySec = a.timeOfDaySec;
         s.timeText = a.timeText;
     }},
    {ContentFlag::Date, true,
     [](const GnssReceiverState& a, GnssReceiverState& s) { s.dateText = a.dateText; }},
    {ContentFlag::Speed, false,
     [](const GnssReceiverState& a, GnssReceiverState& s) { s.speedKmh = a.speedKmh; }},
    {ContentFlag::Course, false,
     [](const GnssReceiverState& a, GnssReceiverState& s) { s.courseDeg = a.courseDeg; }},
    {ContentFlag::Heading, true,
     [](const GnssReceiverState& a, GnssReceiverState& s) { s.headingDeg = a.headingDeg; }},
    {ContentFlag::FixQuality, false,
     [](const GnssReceiverState& a, GnssReceiverState& s) { s.fixQuality = a.fixQuality; }},
    {ContentFlag::Dop, false,
     [](const GnssReceiverState& a, GnssReceiverState& s) {
         s.pdop = a.pdop;
         s.hdop = a.hdop;
         s.vdop = a.vdop;
     }},
    {ContentFlag::SatellitesInView, true,
     [](const GnssReceiverState& a, GnssReceiverState& s) {
         CopyArray(a.satellitesInView, s.satellitesInView);
         CopyArray(a.inViewCount, s.inViewCount);
         CopyArray(a.lastUpdatedIndex, s.lastUpdatedIndex);
         s.inViewTotal = a.inViewTotal;
     }},
    {ContentFlag::SatellitesUsed, true,
     [](const GnssReceiverState& a, GnssReceiverState& s) {
         CopyArray(a.usedPrn, s.usedPrn);
         CopyArray(a.usedCount, s.usedCount);
         s.usedTotal = a.usedTotal;
         s.satellitesUsed = a.satellitesUsed;
     }},
    {ContentFlag::ErrorDeviation, true,
     [](const GnssReceiverState& a, GnssReceiverState& s) {
         s.horizontalAccuracy = a.horizontalAccuracy;
         s.sigmaLon = a.sigmaLon;
         s.sigmaLat = a.sigmaLat;
         s.sigmaAlt = a.sigmaAlt;
     }},
};

}  // namespace

void MergeFieldGroups(const GnssReceiverState& auxiliary, bool auxiliaryIsUbx,
                      std::uint32_t sourceFlags, GnssReceiverState& snapshot)
{
    for (const FieldGroup& group : kGroups) {
        if ((auxiliary.contentFlags & group.flag) == 0 || (sourceFlags & group.flag) != 0) {
            continue;
        }
        if (auxiliaryIsUbx && !group.fromUbx) continue;
        group.copy(auxiliary, snapshot);
        snapshot.contentFlags |= group.flag;
    }
}
