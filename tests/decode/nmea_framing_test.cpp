#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "decode/nmea_parser.h"
#include "support/recording_owner.h"

namespace {

struct Framed {
    std::uint32_t code;
    std::size_t start;
    std::size_t length;
    bool partial;
};

Framed Find(CNmeaParser& p, std::string_view buffer, bool check = true, bool stopOnError = false)
{
    Framed f{};
    f.code = p.FindMessage(Bytes(buffer), f.start, f.length, check, stopOnError);
    f.partial = p.IsPartial();
    return f;
}

TEST(NmeaRecognize, KindCodes)
{
    struct Case {
        const char* text;
        std::uint32_t code;
    };
    const Case cases[] = {
        {"$GPGGA,", CNmeaParser::kCodeGga},
        {"$GAGGA,", CNmeaParser::kCodeGga},
        {"$GNRMC,", CNmeaParser::kCodeRmc},
        {"$GPGNS,", CNmeaParser::kCodeGns},
        {"$GNGLL,", CNmeaParser::kCodeGll},
        {"$GPVTG,", CNmeaParser::kCodeVtg},
        {"$GNGSA,", CNmeaParser::kCodeGsa},
        {"$GNGST,", CNmeaParser::kCodeGst},
        {"$GLGSV,", CNmeaParser::kCodeGsv},
        {"$GPHDT,", CNmeaParser::kCodeHdt},
        {"$GPZDA,", CNmeaParser::kCodeZda},
        {"$PTNL,AVR", CNmeaParser::kCodeAvr},
        {"$PTNL,BPQ", CNmeaParser::kCodeBpq},
        {"$PTNL,VGK", CNmeaParser::kCodeVgk},
        {"$PTNL,GGK", CNmeaParser::kCodeUnknown},
        {"$PASHR,POS", CNmeaParser::kCodePashrPos},
        {"$PASHR,SAT", 0u},
        {"$PTNLRBA,1", 0u},
        {"$GPTXT,01", CNmeaParser::kCodeUnknown},
        {"$GNGBS,12", CNmeaParser::kCodeUnknown},
        {"$BDGSV,1,", 0u},
        {"$HEHDT,4.", 0u},
        {"$GPGGA", 0u} /* too short */,
        {"GPGGA,12", 0u},
    };
    for (const Case& c : cases) EXPECT_EQ(CNmeaParser::Recognize(Bytes(c.text)), c.code) << c.text;
}

TEST(NmeaFraming, FramesThroughLineEndAndSkipsGarbageSilently)
{
    RecordingOwner owner;
    const std::string gga = Sentence("GPGGA,120000.00,3723.0,N,12658.0,E,1,05,1.2,10.0,M,20.0,M,,");
    const std::string buffer =
        "\x01\xff junk $ more*ZZ \r\n" + Sentence("BDGSV,1,1,00") + gga + "\n";
    const Framed f = Find(owner.parser, buffer);
    EXPECT_EQ(f.code, CNmeaParser::kCodeGga);
    EXPECT_EQ(buffer.substr(f.start, f.length), gga + "\n");
    EXPECT_FALSE(f.partial);
    EXPECT_EQ(owner.parser.ErrorCount(), 0u);
    EXPECT_EQ(owner.protocolsSeen, 1u);
}

TEST(NmeaFraming, SentenceSplitAcrossTwoCalls)
{
    RecordingOwner owner;
    const std::string gga = Sentence("GPGGA,120000.00,3723.0,N,12658.0,E,1,05,1.2,10.0,M,20.0,M,,");
    // Cut before the '*', inside the checksum and right before the line end.
    for (std::size_t cut : {std::size_t{10}, gga.size() - 4, gga.size() - 3, gga.size() - 2}) {
        SCOPED_TRACE(cut);
        const std::string head = "noise" + gga.substr(0, cut);
        Framed f = Find(owner.parser, head);
        EXPECT_EQ(f.code, 0u);
        EXPECT_TRUE(f.partial);
        EXPECT_EQ(f.start, 5u);
        EXPECT_EQ(f.length, cut);
        const std::string joined = head.substr(f.start) + gga.substr(cut);
        f = Find(owner.parser, joined);
        EXPECT_EQ(f.code, CNmeaParser::kCodeGga);
        EXPECT_EQ(f.length, gga.size());
    }
}

TEST(NmeaFraming, LongTextWithoutChecksumIsAbandoned)
{
    RecordingOwner owner;
    for (std::size_t tail : {std::size_t{119}, std::size_t{120}, std::size_t{5000}}) {
        SCOPED_TRACE(tail);
        const std::string buffer = "$GPGGA" + std::string(tail - 6, 'x');
        const Framed f = Find(owner.parser, buffer);
        EXPECT_EQ(f.code, 0u);
        EXPECT_EQ(f.partial, tail < CNmeaParser::kAbandonLength);
    }
    // The same limit holds when the whole text is already there: how bytes are chunked
    // must not decide what is a sentence.
    const std::string longSentence = Sentence("GPTXT," + std::string(120, '1'));
    EXPECT_EQ(Find(owner.parser, longSentence + Sentence("GPHDT,274.07,T")).code,
              CNmeaParser::kCodeHdt);
    // An abandoned text must not take a real sentence start behind it along.
    const std::string buffer = "$PGARBAGE" + std::string(200, 'x') + "$GPGGA,1200";
    const Framed f = Find(owner.parser, buffer);
    EXPECT_TRUE(f.partial);
    EXPECT_EQ(buffer.substr(f.start), "$GPGGA,1200");
}

TEST(NmeaFraming, ChecksumFailuresAreLoggedAndNeverDecoded)
{
    RecordingOwner owner;
    std::string bad = Sentence("GPGGA,120000.00,3723.0,N,12658.0,E,1,05,1.2,10.0,M,20.0,M,,");
    bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';
    const std::string good = Sentence("GPRMC,120001.00,A,3723.0,N,12658.0,E,1.0,10.0,051226,,,A");
    Framed f = Find(owner.parser, bad + good);
    EXPECT_EQ(f.code, CNmeaParser::kCodeRmc);
    EXPECT_EQ(f.start, bad.size());
    ASSERT_EQ(owner.parser.ErrorCount(), 1u);
    ASSERT_EQ(owner.parser.ErrorLog().size(), 1u);
    EXPECT_TRUE(std::regex_match(owner.parser.ErrorLog()[0], std::regex(R"(\[\d{6}\] error)")))
        << owner.parser.ErrorLog()[0];

    // Stop-on-error ends the search at the bad sentence.
    f = Find(owner.parser, bad + good, true, true);
    EXPECT_EQ(f.code, 0u);
    EXPECT_FALSE(f.partial);
    EXPECT_EQ(owner.parser.ErrorCount(), 2u);

    // Unchecked, the bad sentence is framed as long as its digits are hexadecimal.
    f = Find(owner.parser, bad + good, false);
    EXPECT_EQ(f.code, CNmeaParser::kCodeGga);
    f = Find(owner.parser, "$GPGGA,1*ZZ\r\n" + good, false, true);
    EXPECT_EQ(f.code, 0u);

    // The owner's skip-checksum setting wins over the check flag.
    owner.skipChecksum = true;
    f = Find(owner.parser, bad);
    EXPECT_EQ(f.code, CNmeaParser::kCodeGga);
    EXPECT_EQ(owner.parser.ErrorCount(), 2u);
}

TEST(NmeaFraming, SentenceCutByANewOneIsDropped)
{
    RecordingOwner owner;
    const std::string rmc = Sentence("GPRMC,120001.00,A,3723.0,N,12658.0,E,1.0,10.0,051226,,,A");
    const std::string buffer = "$GPGGA,120000.00,3723.0,N" + rmc;
    const Framed f = Find(owner.parser, buffer);
    EXPECT_EQ(f.code, CNmeaParser::kCodeRmc);
    EXPECT_EQ(buffer.substr(f.start, f.length), rmc);
    EXPECT_EQ(owner.parser.ErrorCount(), 0u);
}

TEST(NmeaFraming, VerifyChecksumDigits)
{
    RecordingOwner owner;
    CNmeaParser& p = owner.parser;
    std::vector<std::string> diagnostics;
    p.SetDiagnosticSink([&](std::string_view line) { diagnostics.emplace_back(line); });
    EXPECT_TRUE(p.VerifyChecksum(Bytes("$GPHDT,274.07,T*03")));
    EXPECT_FALSE(p.VerifyChecksum(Bytes("$GPHDT,274.07,T*13")));
    EXPECT_FALSE(p.VerifyChecksum(Bytes("$GPHDT,274.07,T*04")));
    EXPECT_FALSE(p.VerifyChecksum(Bytes("$GPHDT,274.07,T*0")));
    EXPECT_FALSE(p.VerifyChecksum(Bytes("$GPHDT,274.07,T")));
    ASSERT_EQ(diagnostics.size(), 4u);
    EXPECT_NE(diagnostics[1].find("(H)"), std::string::npos);
    EXPECT_NE(diagnostics[3].find("(L)"), std::string::npos);
}

}  // namespace
