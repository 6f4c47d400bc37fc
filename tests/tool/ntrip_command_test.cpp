#include "tool/ntrip_command.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>

#include "support/qt_support.h"
#include "support/test_data.h"
#include "support/tool_run.h"

namespace {

ToolRun Ntrip(std::vector<std::string_view> args) { return Tool<RunNtrip>(std::move(args)); }

// RTKLIB's str2str as the caster; what is written to its standard input goes to the client.
TEST(NtripCommand, MountPointsAndCorrectionsFromARealCaster)
{
    SKIP_WITHOUT_DATA();
    if (QStandardPaths::findExecutable(QStringLiteral("str2str")).isEmpty())
        GTEST_SKIP() << "str2str (package rtklib) is not installed";
    const auto rtcm =
        testdata::ReadBytes(*testdata::DataDir() / "rtcm3/pygnssutils_ntrip_msm7_eph_33s.rtcm3");
    const quint16 port = FreePort();
    QProcess caster;
    caster.start(
        QStringLiteral("str2str"),
        {QStringLiteral("-out"), QStringLiteral("ntripc://rover:s3cret@:%1/SKN01").arg(port)});
    ASSERT_TRUE(caster.waitForStarted());
    ASSERT_TRUE(WaitFor([port] {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        return probe.waitForConnected(100);
    }));
    const std::string where = "127.0.0.1:" + std::to_string(port);

    const ToolRun table = Ntrip({"--sourcetable", where});
    ASSERT_EQ(table.code, 0) << table.err;
    EXPECT_EQ(Lines(table.out).at(1).rfind("SKN01,", 0), 0u) << table.out;

    QTemporaryDir dir;
    const std::string password = dir.filePath(QStringLiteral("pw")).toStdString();
    const std::string wrong = dir.filePath(QStringLiteral("wrong")).toStdString();
    std::ofstream(password) << "s3cret\n";
    std::ofstream(wrong) << "guess\n";
    const std::string out = dir.filePath(QStringLiteral("rtcm.bin")).toStdString();
    const std::string mount = where + "/SKN01";
    // The corrections go to the caster once the client is in.
    QTimer::singleShot(1000, [&] {
        caster.write(reinterpret_cast<const char*>(rtcm.data()), static_cast<qint64>(rtcm.size()));
    });
    const ToolRun stream = Ntrip({mount, "--user", "rover", "--password-file", password, "--out",
                                  out, "--seconds", "3", "--gga", "37.5,127.0"});
    ASSERT_EQ(stream.code, 0) << stream.err;
    EXPECT_EQ(testdata::ReadBytes(out), rtcm);
    EXPECT_EQ(stream.err, "# bytes 63380, frames 292, crc failures 0\n");

    const ToolRun refused =
        Ntrip({mount, "--user", "rover", "--password-file", wrong, "--out", out, "--seconds", "3"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("(401)"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find("guess"), std::string::npos);
    caster.kill();
    caster.waitForFinished();
}

TEST(NtripCommand, BadArgumentsAndUnreachableCasters)
{
    QTemporaryDir dir;
    const std::string password = dir.filePath(QStringLiteral("pw")).toStdString();
    std::ofstream(password) << "x\n";
    const std::string empty = dir.filePath(QStringLiteral("empty")).toStdString();
    std::ofstream(empty) << "\n";
    const std::string out = dir.filePath(QStringLiteral("o")).toStdString();
    const std::string closed = "127.0.0.1:" + std::to_string(FreePort());
    const struct {
        std::vector<std::string_view> args;
        int code;
        const char* message;
    } cases[] = {
        // clang-format off
        {{}, 2, "HOST:PORT/MOUNT"},
        {{"host:2101/M", "--password-file", password}, 2, "--user"},
        {{"host:2101/M", "--user", "u", "--password-file", password}, 2, "one of --out"},
        {{"host:2101/M", "--version", "3"}, 2, "--version must be 1 or 2"},
        {{"host:2101/M", "--gga", "91,0"}, 2, "--gga needs LAT,LON"},
        {{"--sourcetable", "host"}, 2, "--sourcetable needs HOST:PORT"},
        {{"host:2101/M", "--user", "u", "--password-file", empty, "--out", out}, 2, "cannot read a password"},
        {{"--sourcetable", closed}, 1, "cannot connect"},
        // clang-format on
    };
    for (const auto& c : cases) {
        const ToolRun run = Ntrip(c.args);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_EQ(run.err.rfind("skarnet2-tool ntrip: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
