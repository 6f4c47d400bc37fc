#include "views/reference_stations.h"

#include "geo/dms.h"
#include "i18n/translatable.h"

const std::array<ReferenceStation, kReferenceStationCount> kReferenceStations{{
    {"126도 54분 33.73742초", " 37도 28분 07.16509초",
     SKARNET2_TRANSLATABLE("ReferenceStation", "U안양05 : 금천체육공원")},
    {"126도 55분 02.10239초", " 37도 25분 54.61755초",
     SKARNET2_TRANSLATABLE("ReferenceStation", "U0219 : 경인교대")},
    {"127도 03분 15.2103초", " 37도 16분 31.6820초",
     SKARNET2_TRANSLATABLE("ReferenceStation", "수원GA1 : 국토지리정보원")},
    {"128도 56분 59.95341초", " 35도 10분 25.37910초",
     SKARNET2_TRANSLATABLE("ReferenceStation", "U김해11 : 김해공항")},
    {"126도 54분 31.22319초", " 37도 23분 05.07689초",
     SKARNET2_TRANSLATABLE("ReferenceStation", "U안양13 : 병목안시민공원")},
    {"126도 53분 12.21012초", " 37도 26분 47.03976초",
     SKARNET2_TRANSLATABLE("ReferenceStation", "U안양08 : 광명소하고")},
    {"126도 50분 46.66878초", " 37도 24분 13.85141초",
     SKARNET2_TRANSLATABLE("ReferenceStation", "U안양12 : 목감칠리제저수지")},
    {"126도 57분 31.17152초", " 37도 23분 24.16351초",
     SKARNET2_TRANSLATABLE("ReferenceStation", "U안양14 : 평촌중앙공원")},
}};

std::optional<StationCoordinates> StationPosition(int row)
{
    if (row < 0 || row >= kReferenceStationCount) return std::nullopt;
    const ReferenceStation& station = kReferenceStations[static_cast<std::size_t>(row)];
    const std::optional<double> longitude = ParseDms(station.longitude);
    const std::optional<double> latitude = ParseDms(station.latitude);
    if (!longitude || !latitude) return std::nullopt;
    return StationCoordinates{*longitude, *latitude};
}
