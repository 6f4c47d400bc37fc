#include "support/captures.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_data.h"

namespace captures {

const std::vector<Capture>& All()
{
    constexpr unsigned N = kNmea, U = kUbx, S = kSbf, R = kRtcm;
    // path, protocols, NMEA / UBX / SBF epochs, NMEA / UBX checksum failures
    // clang-format off
    static const std::vector<Capture> kAll = {
        {"nmea/gpsd_android-gpsdf_pglor_badck.log", N, 51, -1, -1, 46},
        {"nmea/gpsd_ashtech-ac12_pashr_pos_binary.log", N, 5},
        {"nmea/gpsd_ericsson-gru04_ptnlr_gns.log", N, 71},
        {"nmea/gpsd_furuno-gt88_gns_zda.log", N, 16},
        // 19 distinct times in the inventory; its clock jumps back and forth, and an independent
        // reading of epoch changes gives 20.
        {"nmea/gpsd_gp-320fw_coldboot_rollover_garbage.log", N, 20, -1, -1, 33},
        {"nmea/gpsd_hemisphere_hdt_vtg_zda.log", N, 118},
        {"nmea/gpsd_oxts_pashr_25hz.log", N, 41},
        {"nmea/gpsd_quectel-l76k_5hz_bd.log", N, 151},
        {"nmea/gpsd_quectel-lc79d_gsa_sysid1-6.log", N, 29},
        {"nmea/gpsd_saab-r4_marine_hdt_ais.log", N, 12},
        {"nmea/gpsd_septentrio-polarx2_gns_gst.log", N, 5},
        {"nmea/gpsd_sirf-trig_bd_talker.log", N, 10},
        {"nmea/gpsd_st-teseo-liv4f_gst_badck.log", N, 12, -1, -1, 1},
        {"nmea/gpsd_telit-pls83_gns_5gnss.log", N, 10},
        {"nmea/gpsd_trimble_rtkfix_10hz.log", N, 122},
        {"nmea/gpsd_ublox-neo-5q_gga_badck.log", N, 23, -1, -1, 23},
        {"nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log", N, 61},
        {"nmea/gpsd_ublox-zed-f9p_highprec_dgps.log", N, 9},
        {"nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log", N, 29},
        {"nmea/gpsd_unicore-um621_fixloss.log", N, 20},
        {"nmea/pynmeagps_trimble_ptnl_pashr_examples.log", N},
        {"ubx/gpsd_navisys-gr701w_monhw_fixloss.log", U, -1, 81},
        {"ubx/gpsd_ublox-m8t_posllh_status_timutc_timtp.log", U, -1, 151},
        {"ubx/gpsd_ublox-neo-m8l_esf-status_hnr.log", U, -1, 19},
        {"ubx/gpsd_ublox-neo-m8p_4hz_relposned.log", U, -1, 59},
        {"ubx/gpsd_ublox-neo-m9v_velned_timeutc.log", U, -1, 4},
        {"ubx/gpsd_ublox-spg510_navpvt_navsat_navsig_300s.log", U, -1, 300},
        {"ubx/gpsd_ublox-zed-f9p_hpposllh_timeutc.log", U, -1, 29},
        {"ubx/gpsd_ublox-zed-f9p_rtkfloat.log", U, -1, 10},
        {"ubx/pyubx2_ublox-m8_message_sampler.ubx", U},  // one frame of many kinds
        {"ubx/pyubx2_ublox-zed-x20p_nav_hpposllh.ubx", U, -1, 3},
        {"ubx/pyubx2_ublox_esf-status_calibration_527s.ubx", U, -1, 527},
        {"ubx/pyubx2_ublox_nav_badck.ubx", U, -1, 1, -1, 0, 2},
        // The PVTCartesian capture has none of the blocks the decoder reads.
        {"sbf/pysbf2_mosaic-x5_atteuler.sbf", S, -1, -1, 1},
        {"sbf/pysbf2_mosaic-x5_channelstatus_3s.sbf", S, -1, -1, 3},
        {"sbf/pysbf2_mosaic-x5_dop.sbf", S, -1, -1, 1},
        {"sbf/pysbf2_mosaic-x5_measepoch.sbf", S, -1, -1, 1},
        {"sbf/pysbf2_mosaic-x5_pvtcart_58s.sbf", S, -1, -1, 0},
        {"sbf/pysbf2_mosaic-x5_pvtgeodetic_velcovgeodetic.sbf", S, -1, -1, 1},
        {"sbf/pysbf2_mosaic-x5_truncated_tail.sbf", S, -1, -1, 1},
        {"sbf/sbfmixer_mosaic_all_blocks.sbf", S, -1, -1, 2},
        {"sbf/sbfmixer_mosaic_pvtgeod_dop_chstatus_meas_atteuler.sbf", S, -1, -1, 12},
        {"gsof/rtklib_trimble_rt17_trimcomm_not_gsof.rt17", kGsof},  // Trimcomm, no GSOF
        {"rtcm3/gpsd_igs-stfu7_rtcm32.log", R},
        {"rtcm3/pygnssutils_ntrip_msm7_eph_33s.rtcm3", R},
        {"rtcm3/pyrtcm_ssr_1057-1065_1300_1302.rtcm3", R},
        {"rtcm3/pyrtcm_uscl00chl0_legacy_msm_all.rtcm3", R},
        {"rtcm3/rtklib_gmsd7_msm7_gpsweek_rollover.rtcm3", R},
        {"rtcm3/rtklib_testglo_legacy_1004_1012.rtcm3", R},
        {"ntrip/gpsd_ntrip1_request_icy200_rtcm2.log", kOther},
        {"ntrip/gpsd_sapos_sourcetable.log", kOther},
        {"ntrip/pygnssutils_ntrip2_chunked_rtcm3.bin", R},
        {"mixed/gpsd_ublox-zed-f9p_nmea_ubx_rawx_655s.log", N | U, 655, 655},
        {"mixed/gpsd_ublox-zed-f9t_ubx_rtcm3.log", U | R, -1, 26},
        {"mixed/pygnssutils_ublox-f9p-base_nmea_ubx_rtcm3_157s.log", N | U | R, 158, 158},
        {"mixed/pyrtcm_nmea_ubx_rtcm3_badcrc.log", N | U | R, 2, 1},
        {"mixed/pysbf2_nmea_sbf_rtcm3.log", N | S | R, 2, -1, 1},
        {"mixed/pyubx2_nmea_ubx_badck.log", N | U, 2, 1, -1, 0, 1},
        {"mixed/pyubx2_ublox-m8_nmea_ubx_39s.log", N | U, 0, 39},
        {"mixed/pyubx2_ublox_nmea_cfg-valget_traffic.ubx", N | U, 90},
        {"mixed/rtklib_ublox_nmea_rxmraw_truncated.ubx", N | U, 242},
    };
    // clang-format on
    return kAll;
}

std::size_t ForEach(
    unsigned protocols,
    const std::function<void(const Capture&, const std::vector<std::uint8_t>&)>& visit)
{
    const auto dir = testdata::DataDir();
    if (!dir) return 0;
    std::size_t visited = 0;
    for (const Capture& c : All()) {
        if (!(c.protocols & protocols) || !std::filesystem::is_regular_file(*dir / c.path))
            continue;
        SCOPED_TRACE(c.path);
        visit(c, testdata::ReadBytes(*dir / c.path));
        ++visited;
    }
    return visited;
}

std::vector<std::uint8_t> Read(const char* path)
{
    const auto dir = testdata::DataDir();
    return dir ? testdata::ReadBytes(*dir / path) : std::vector<std::uint8_t>{};
}

}  // namespace captures
