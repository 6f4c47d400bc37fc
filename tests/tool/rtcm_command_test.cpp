#include "tool/rtcm_command.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_data.h"
#include "support/tool_run.h"

namespace {

ToolRun Rtcm(std::vector<std::string_view> args) { return Tool<RunRtcm>(std::move(args)); }

// Counts from the capture inventory; the station is the caster's (1006) near Manchester.
TEST(RtcmCommand, MessageTableAndStationOfARealStream)
{
    SKIP_WITHOUT_DATA();
    const std::string path =
        (*testdata::DataDir() / "rtcm3/pygnssutils_ntrip_msm7_eph_33s.rtcm3").string();
    const ToolRun run = Rtcm({path});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 1u + 13 + 2);
    EXPECT_EQ(lines[0], "type,count,bytes");
    EXPECT_EQ(lines[1].rfind("1006,7,", 0), 0u);
    EXPECT_EQ(lines[12].rfind("1230,7,", 0), 0u);
    EXPECT_EQ(lines[14].rfind("# station 25: ecef 3811965.6701 -175800.0708 5093615.5606, "
                              "latitude 53.3448",
                              0),
              0u)
        << lines[14];
    EXPECT_EQ(lines[15], "# frames 292, crc failures 0, bytes 63380, unframed tail 0");
}

}  // namespace
