#include "intake/protocol_starts.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

std::span<const std::uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

using Finder = std::optional<std::size_t> (*)(std::span<const std::uint8_t>);

struct StartCase {
    const char* name;
    Finder find;
    std::string bytes;
    std::optional<std::size_t> start;
};

TEST(ProtocolStartsTest, FindsEachSignature)
{
    const std::string gga = "$GPGGA,1*4A\r\n";
    const std::string far = "$GPGGA," + std::string(110, 'x') + "*4A\r\n";  // '$' 120 before CR
    const std::string tooFar = "$GPGGA," + std::string(111, 'x') + "*4A\r\n";
    const StartCase cases[] = {
        {"ubx", FindUbxStart, "ab\xB5\x62\x01", 2},
        {"ubx reversed", FindUbxStart, "\x62\xB5", std::nullopt},
        {"ubx cut", FindUbxStart, "\xB5", std::nullopt},
        {"gsof", FindGsofStart, std::string("z\x02\x28", 3), 1},
        {"gsof status bit clear", FindGsofStart, std::string("\x02\x07\x02", 3), std::nullopt},
        {"sbf", FindSbfStart, "$GP$@", 3},
        {"sbf none", FindSbfStart, "$G@", std::nullopt},
        {"nmea", FindNmeaStart, "junk" + gga, 4},
        {"nmea last dollar before line end", FindNmeaStart, "$GP$GPGGA,1*4A\r\n", 3},
        {"nmea talker P", FindNmeaStart, "$PTNL,AVR*00\r\n", 0},
        {"sbf dollar is no sentence", FindNmeaStart, "$@abc*4A\r\n", std::nullopt},
        {"no star", FindNmeaStart, "$GPGGA,1,44\r\n", std::nullopt},
        {"lf only stream", FindNmeaStart, "$GPGGA,1*4A\n", 0},
        {"lf ignored when crs exist", FindNmeaStart, "$GPGGA,1*4A\n\r", std::nullopt},
        {"120 bytes before line end", FindNmeaStart, far, 0},
        {"121 bytes before line end", FindNmeaStart, tooFar, std::nullopt},
        {"second line after bad one", FindNmeaStart, "$XX*00\r\n" + gga, 8},
    };
    for (const StartCase& c : cases) {
        EXPECT_EQ(c.find(Bytes(c.bytes)), c.start) << c.name;
    }
}

TEST(ProtocolStartsTest, LineStarts)
{
    const std::string text = "ab\r\ncd\nef";
    EXPECT_TRUE(StartsLine(Bytes(text), 0));
    EXPECT_FALSE(StartsLine(Bytes(text), 1));
    EXPECT_TRUE(StartsLine(Bytes(text), 4));
    EXPECT_TRUE(StartsLine(Bytes(text), 7));
    EXPECT_FALSE(StartsLine(Bytes(text), 99));
}

}  // namespace
