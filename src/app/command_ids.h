#pragma once

// Menu and toolbar command numbers; other programs and the settings refer to some of them.
namespace command {
inline constexpr int kOpenPort = 32771;
inline constexpr int kClosePort = 32772;
inline constexpr int kExit = 57665;
inline constexpr int kRecordStart = 32775;
inline constexpr int kRecordStop = 32776;
inline constexpr int kReplayStart = 32773;
inline constexpr int kReplayStop = 32774;
inline constexpr int kNtripStart = 32777;
inline constexpr int kNtripStop = 32778;
inline constexpr int kWebMap = 300;
inline constexpr int kPlotMap = 301;
inline constexpr int kMapAndPlot = 32804;
inline constexpr int kSettings = 382;
inline constexpr int kCoordConverter = 421;
inline constexpr int kHeadingGauge = 32779;
inline constexpr int kSpeedGraph = 32780;
inline constexpr int kDistanceGraph = 32781;
inline constexpr int kNorthSouthGraph = 32782;
inline constexpr int kEastWestGraph = 32783;
inline constexpr int kElevationGraph = 32803;
inline constexpr int kHeadingSumGraph = 32808;
inline constexpr int kNextMainView = 426;
inline constexpr int kAbout = 57664;
inline constexpr int kClear = 32802;
inline constexpr int kExtractionCombo = 32806;
inline constexpr int kRelayDeviceCombo = 32807;
// The program's own: the RTCM monitor window.
inline constexpr int kRtcmMonitor = 32901;
// The looks this platform offers: Fusion light and dark, and the system's own (the default).
inline constexpr int kLookFusionLight = 205;
inline constexpr int kLookFusionDark = 206;
inline constexpr int kLookSystem = 219;
// The program's own: the window's language, applied at the next start.
inline constexpr int kLanguageKorean = 32910;
inline constexpr int kLanguageEnglish = 32911;

// Filter toolbar.
inline constexpr int kGps = 32789;
inline constexpr int kSbas = 32784;
inline constexpr int kGlonass = 32785;
inline constexpr int kBeidou = 32786;
inline constexpr int kQzss = 32787;
inline constexpr int kGalileo = 32788;
inline constexpr int kL1 = 32790;
inline constexpr int kL2 = 32791;
inline constexpr int kGga = 32792;
inline constexpr int kRmc = 32793;
inline constexpr int kGsa = 32794;
inline constexpr int kGsv = 32795;
}  // namespace command
