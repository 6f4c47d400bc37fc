#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "settings/deployment.h"

// Every key of the settings store with its type and default. Subsystems name these constants
// instead of spelling section and key, so a default lives in exactly one place.
struct IntSetting {
    std::string_view section;
    std::string_view key;
    std::int32_t defaultValue;
};

struct TextSetting {
    std::string_view section;
    std::string_view key;
    std::string_view defaultValue;
};

namespace settings {

// Receiver link (connection dialog).
inline constexpr IntSetting kCommTxMode{"COMM_SETUP", "TXMODE", 1};  // 0 network, 1 serial
inline constexpr IntSetting kCommRelayServerMode{"COMM_SETUP", "RELAYSERVER_MODE", 0};
inline constexpr TextSetting kCommHostAddr{"COMM_SETUP", "HOST_ADDR", "127.0.0.1"};
inline constexpr TextSetting kCommHostPort{"COMM_SETUP", "HOST_PORT", "9999"};
inline constexpr TextSetting kCommPort{"COMM_SETUP", "COMPORT", "COM1"};
inline constexpr IntSetting kCommBaudRate{"COMM_SETUP", "BAUDRATE", 9};   // list index: 115200
inline constexpr IntSetting kCommDataBits{"COMM_SETUP", "DATABIT", 3};    // 8 bits
inline constexpr IntSetting kCommParity{"COMM_SETUP", "PARITYBIT", 2};    // none
inline constexpr IntSetting kCommStopBits{"COMM_SETUP", "STOPBIT", 0};    // one
inline constexpr IntSetting kCommFlowControl{"COMM_SETUP", "HWFLOW", 2};  // none
inline constexpr TextSetting kCommLoginId{"COMM_SETUP", "LOGIN_ID", ""};
inline constexpr TextSetting kCommLoginInfo{"COMM_SETUP", "LOGIN_INFO", ""};
inline constexpr IntSetting kCommSaveId{"COMM_SETUP", "SAVE_ID", 0};
inline constexpr IntSetting kCommAutoLogin{"COMM_SETUP", "AUTO_LOGIN", 0};
inline constexpr TextSetting kCommRelayedNmea{"COMM_SETUP", "RELAYED_NMEA", ""};

// NTRIP client and its output.
inline constexpr IntSetting kNtripEnable{"NTRIP", "ENABLE", 0};
inline constexpr TextSetting kNtripHostAddr{"NTRIP", "HOST_ADDR", deployment::kNtripCasterHost};
inline constexpr IntSetting kNtripHostPort{"NTRIP", "HOST_PORT", 2201};
inline constexpr TextSetting kNtripMountPoint{"NTRIP", "MOUNT_POINT", "FKP_V31"};
inline constexpr TextSetting kNtripIdentity{"NTRIP", "IDENTITY", ""};
inline constexpr TextSetting kNtripPassword{"NTRIP", "PASSWORD", ""};
inline constexpr IntSetting kNtripSamePort{"NTRIP", "SAMEPORT", 1};
inline constexpr IntSetting kNtripTxMode{"NTRIP", "TXMODE", 1};  // 1 serial, 0 network
inline constexpr TextSetting kNtripPort{"NTRIP", "COMPORT", "COM1"};
inline constexpr IntSetting kNtripBaudRate{"NTRIP", "BAUDRATE", 9};
inline constexpr TextSetting kNtripDestAddr{"NTRIP", "DEST_ADDR", "127.0.0.1"};
inline constexpr TextSetting kNtripDestPort{"NTRIP", "DEST_PORT", "9999"};
// 2: NTRIP 2 (HTTP/1.1, chunked replies).
inline constexpr IntSetting kNtripVersion{"NTRIP", "VERSION", 1};
// 1: TLS, with the caster's certificate verified.
inline constexpr IntSetting kNtripTls{"NTRIP", "TLS", 0};
// 1: a dropped connection is tried again with a growing pause.
inline constexpr IntSetting kNtripReconnect{"NTRIP", "RECONNECT", 0};

// Relay server.
inline constexpr TextSetting kServerVrsIp{"SERVER", "VRS_IP", deployment::kRelayServerHost};
inline constexpr IntSetting kServerVrsPort{"SERVER", "VRS_PORT", deployment::kRelayServerPort};

// Replay and recording.
inline constexpr IntSetting kReplaySyncProtocol{"REPLAY", "SYNCPROT", 0};  // 0 AUTO, 1 NON NMEA
inline constexpr IntSetting kReplayLatestLogging{"REPLAY", "LATESTLOGGING", 0};
inline constexpr IntSetting kReplayAutoNaming{"REPLAY", "AUTONAMING", 0};
inline constexpr IntSetting kReplayErrorCalcType{"REPLAY", "ERRCALTYPE", 0};
inline constexpr IntSetting kReplaySkipChecksum{"REPLAY", "ERRNOCHK", 0};
inline constexpr IntSetting kReplayPositionCountIndex{"REPLAY", "POS_COUNT_IDX", 0};
inline constexpr IntSetting kReplayCheckMissingFrames{"REPLAY", "CHECK_MISSING_FRAMES", 0};

// NMEA page: display form and the taxi fare.
inline constexpr IntSetting kNmeaRmsCepRuntimeCal{"NMEA", "RMSCEP_RUNTIME_CAL", 0};
inline constexpr IntSetting kNmeaOperationType{"NMEA", "OPERATION_TYPE", 0};
inline constexpr TextSetting kNmeaBasicDistance{"NMEA", "BASIC_DISTANCE", "2000.0"};
inline constexpr TextSetting kNmeaBasicFee{"NMEA", "BASIC_FEE", "3800"};
inline constexpr TextSetting kNmeaMinSpeed{"NMEA", "MIN_SPEED", "15.32"};
inline constexpr TextSetting kNmeaUnitFee{"NMEA", "UNIT_FEE", "100"};
inline constexpr TextSetting kNmeaUnitDistance{"NMEA", "UNIT_DISTANCE", "132"};
inline constexpr IntSetting kNmeaGpsModule{"NMEA", "GPS_MODULE", 0};
inline constexpr IntSetting kNmeaDisplayLimitSpeed{"NMEA", "DISPLAY_LIMITSPEED", 0};

// Plot; colours are 0x00BBGGRR.
inline constexpr IntSetting kPlotRgbGps{"PLOTVIEW", "RGB_GPS", 0xC0C0C0};
inline constexpr IntSetting kPlotRgbDgps{"PLOTVIEW", "RGB_DGPS", 0x80FF80};
inline constexpr IntSetting kPlotRgbFloat{"PLOTVIEW", "RGB_FLOAT", 0xFF8000};
inline constexpr IntSetting kPlotRgbRtk{"PLOTVIEW", "RGB_RTK", 0x8080FF};
inline constexpr IntSetting kPlotRgbDr{"PLOTVIEW", "RGB_DR", 0x80FFFF};
inline constexpr IntSetting kPlotPixelSize{"PLOTVIEW", "PIXEL_SIZE", 2};
inline constexpr IntSetting kPlotScaleIndex{"PLOTVIEW", "SCALEINDEX", 1};

// Plot origin and coordinate system.
inline constexpr IntSetting kRefPointCenter{"REF_POINT", "CENTER", 2};
inline constexpr IntSetting kRefPointCoordSys{"REF_POINT", "COORD_SYS", 4};
inline constexpr IntSetting kRefPointDmsType{"REF_POINT", "DMS_TYPE", 0};
inline constexpr TextSetting kRefPointLatitude{"REF_POINT", "LATITUDE", "37.473125"};
inline constexpr TextSetting kRefPointLongitude{"REF_POINT", "LONGITUDE", "126.881210"};
inline constexpr IntSetting kRefPointRefSite{"REF_POINT", "REF_SITE", -1};

// Error statistics reference.
inline constexpr IntSetting kErrorCalBase{"ERROR_CAL", "ERROR_BASE", 0};
inline constexpr TextSetting kErrorCalLatitude{"ERROR_CAL", "LATITUDE", "37.473125"};
inline constexpr TextSetting kErrorCalLongitude{"ERROR_CAL", "LONGITUDE", "126.881210"};
inline constexpr IntSetting kErrorCalRefSite{"ERROR_CAL", "REF_SITE", -1};

inline constexpr IntSetting kSetupTab{"SETUP", "TAB", 0};
inline constexpr IntSetting kViewMapPlot{"VIEW", "MAP_PLOT", 0};  // 0 web map, 1 plot map
// 0 the system's style, 1 Fusion light, 2 Fusion dark.
inline constexpr IntSetting kViewLook{"VIEW", "LOOK", 0};
// "ko" (or empty) Korean, "en" English; read at start.
inline constexpr TextSetting kViewLanguage{"VIEW", "LANGUAGE", ""};
// Map tiles: a URL template with {z}, {x} and {y}.
inline constexpr TextSetting kMapTileUrl{"MAP", "TILE_URL", deployment::kMapTileUrl};

inline constexpr std::array kAllIntSettings{
    kCommTxMode,
    kCommRelayServerMode,
    kCommBaudRate,
    kCommDataBits,
    kCommParity,
    kCommStopBits,
    kCommFlowControl,
    kCommSaveId,
    kCommAutoLogin,
    kNtripEnable,
    kNtripHostPort,
    kNtripSamePort,
    kNtripTxMode,
    kNtripBaudRate,
    kNtripVersion,
    kNtripTls,
    kNtripReconnect,
    kServerVrsPort,
    kReplaySyncProtocol,
    kReplayLatestLogging,
    kReplayAutoNaming,
    kReplayErrorCalcType,
    kReplaySkipChecksum,
    kReplayPositionCountIndex,
    kReplayCheckMissingFrames,
    kNmeaRmsCepRuntimeCal,
    kNmeaOperationType,
    kNmeaGpsModule,
    kNmeaDisplayLimitSpeed,
    kPlotRgbGps,
    kPlotRgbDgps,
    kPlotRgbFloat,
    kPlotRgbRtk,
    kPlotRgbDr,
    kPlotPixelSize,
    kPlotScaleIndex,
    kRefPointCenter,
    kRefPointCoordSys,
    kRefPointDmsType,
    kRefPointRefSite,
    kErrorCalBase,
    kErrorCalRefSite,
    kSetupTab,
    kViewMapPlot,
    kViewLook,
};

inline constexpr std::array kAllTextSettings{
    kCommHostAddr,      kCommHostPort,     kCommPort,          kCommLoginId,
    kCommLoginInfo,     kCommRelayedNmea,  kNtripHostAddr,     kNtripMountPoint,
    kNtripIdentity,     kNtripPassword,    kNtripPort,         kNtripDestAddr,
    kNtripDestPort,     kServerVrsIp,      kNmeaBasicDistance, kNmeaBasicFee,
    kNmeaMinSpeed,      kNmeaUnitFee,      kNmeaUnitDistance,  kRefPointLatitude,
    kRefPointLongitude, kErrorCalLatitude, kErrorCalLongitude, kMapTileUrl,
    kViewLanguage,
};

// SYNCPROT values the intake knows.
inline constexpr std::int32_t kSyncProtocolAuto = 0;
inline constexpr std::int32_t kSyncProtocolNonNmea = 1;

}  // namespace settings
