#include "tool/ntrip_command.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>
#include <charconv>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "decode/gnss_receiver_state.h"
#include "link/socket_client.h"
#include "net/ntrip_messages.h"
#include "net/ntrip_reply.h"
#include "net/rtcm3_framer.h"
#include "net/source_table.h"
#include "tool/stream_outputs.h"
#include "tool/tool_text.h"

namespace {

constexpr std::string_view kPrefix = "skarnet2-tool ntrip: ";
constexpr int kServeSliceMs = 20;
constexpr int kGgaPeriodMs = 1000;
constexpr qint64 kReadBlock = 4096;
constexpr std::size_t kMaxSourceTable = std::size_t{1} << 20;

struct NtripArgs {
    std::string host;
    std::uint16_t port = 0;
    std::string mountPoint;
    bool sourceTable = false;
    std::string user;
    std::string passwordFile;
    int version = 1;
    bool tls = false;
    std::optional<std::pair<double, double>> gga;
    std::optional<std::string> outFile;
    std::optional<std::uint16_t> tcpPort;
    std::optional<std::string> ptyLink;
    std::optional<double> seconds;
};

bool ParsePort(std::string_view text, std::uint16_t& port)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    return !text.empty() && ec == std::errc{} && end == text.data() + text.size();
}

// "HOST:PORT" or, with mount, "HOST:PORT/MOUNT".
bool ParseCaster(std::string_view text, NtripArgs& a, bool mount)
{
    const std::size_t slash = text.find('/');
    if (mount) {
        if (slash == std::string_view::npos || slash + 1 >= text.size()) return false;
        a.mountPoint = std::string(text.substr(slash + 1));
        text = text.substr(0, slash);
    } else if (slash != std::string_view::npos) {
        return false;
    }
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    a.host = std::string(text.substr(0, colon));
    return ParsePort(text.substr(colon + 1), a.port) && a.port != 0;
}

bool Bad(std::ostream& err, const std::string& message)
{
    err << kPrefix << message << '\n';
    return false;
}

bool ParseOption(std::span<const std::string_view> args, std::size_t& i, NtripArgs& a,
                 std::ostream& err)
{
    const std::string_view name = args[i];
    if (name == "--tls") {
        a.tls = true;
        return true;
    }
    if (i + 1 >= args.size()) return Bad(err, std::string(name) + " needs a value");
    const std::string_view value = args[++i];
    std::uint16_t port = 0;
    double latitude = 0.0, longitude = 0.0;
    if (name == "--sourcetable") {
        a.sourceTable = true;
        if (!ParseCaster(value, a, false)) return Bad(err, "--sourcetable needs HOST:PORT");
    } else if (name == "--user") {
        a.user = std::string(value);
    } else if (name == "--password-file") {
        a.passwordFile = std::string(value);
    } else if (name == "--version") {
        if (value != "1" && value != "2") return Bad(err, "--version must be 1 or 2");
        a.version = value[0] - '0';
    } else if (name == "--gga") {
        if (!ParseReference(value, latitude, longitude)) return Bad(err, "--gga needs LAT,LON");
        a.gga = std::pair{latitude, longitude};
    } else if (name == "--out") {
        a.outFile = std::string(value);
    } else if (name == "--tcp") {
        if (!ParsePort(value, port)) return Bad(err, "--tcp needs a port from 0 to 65535");
        a.tcpPort = port;
    } else if (name == "--pty") {
        a.ptyLink = std::string(value);
    } else if (name == "--seconds") {
        const auto seconds = ParseDouble(value);
        if (!seconds || *seconds <= 0.0 || *seconds > 1e6)
            return Bad(err, "--seconds needs a number above 0");
        a.seconds = *seconds;
    } else {
        return Bad(err, "unknown option '" + std::string(name) + "'");
    }
    return true;
}

std::optional<NtripArgs> ParseArgs(std::span<const std::string_view> args, std::ostream& err)
{
    NtripArgs a;
    std::string caster;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!args[i].empty() && args[i][0] == '-') {
            if (!ParseOption(args, i, a, err)) return std::nullopt;
        } else if (caster.empty()) {
            caster = args[i];
        } else {
            Bad(err, "only one caster at a time");
            return std::nullopt;
        }
    }
    if (a.sourceTable) {
        if (!caster.empty()) Bad(err, "--sourcetable takes no mount point");
        return caster.empty() ? std::optional(a) : std::nullopt;
    }
    const int outputs = a.outFile.has_value() + a.tcpPort.has_value() + a.ptyLink.has_value();
    if (caster.empty() || !ParseCaster(caster, a, true))
        Bad(err, "give the caster as HOST:PORT/MOUNT, or --sourcetable HOST:PORT");
    else if (a.user.empty() || a.passwordFile.empty())
        Bad(err, "give --user and --password-file");
    else if (outputs != 1)
        Bad(err, "give one of --out FILE, --tcp PORT and --pty LINK");
    else
        return a;
    return std::nullopt;
}

// The first line of the file, so that the password shows in no process list.
std::optional<std::string> ReadPassword(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (line.empty()) return std::nullopt;
    return line;
}

// Where the corrections go.
class CSink {
public:
    bool Open(const NtripArgs& a, std::ostream& err)
    {
        if (a.outFile) {
            file_.open(*a.outFile, std::ios::binary | std::ios::trunc);
            if (!file_) return Bad(err, "cannot write '" + *a.outFile + "'");
            return true;
        }
        output_ = OpenStreamOutput(a.tcpPort, a.ptyLink, kPrefix, err);
        return output_ != nullptr;
    }
    void Write(std::span<const std::uint8_t> bytes)
    {
        if (file_.is_open()) {
            file_.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()));
            file_.flush();
        }
        if (output_) output_->Send(bytes);
    }
    void Serve()
    {
        if (output_) output_->Serve(std::chrono::milliseconds{0});
    }

private:
    std::ofstream file_;
    std::unique_ptr<CServeOutput> output_;
};

std::string UtcTimeText()
{
    return QDateTime::currentDateTimeUtc()
        .toString(QStringLiteral("HHmmss.zzz"))
        .left(9)
        .toStdString();
}

// One connection to the caster, run on an event loop until it closes or time is up.
class CNtripSession {
public:
    CNtripSession(const NtripArgs& a, std::string request) : args_(a), request_(std::move(request))
    {
        QObject::connect(&socket_, &CSocketClient::notice, &loop_,
                         [this](int code) { OnNotice(code); });
    }

    void Run(CSink* sink)
    {
        sink_ = sink;
        QTimer serve;
        QObject::connect(&serve, &QTimer::timeout, &loop_, [this] {
            if (sink_ != nullptr) sink_->Serve();
        });
        serve.start(kServeSliceMs);
        QTimer gga;
        QObject::connect(&gga, &QTimer::timeout, &loop_, [this] { SendGga(); });
        if (args_.gga) gga.start(kGgaPeriodMs);
        if (args_.seconds)
            QTimer::singleShot(static_cast<int>(*args_.seconds * 1000.0), &loop_,
                               [this] { loop_.quit(); });
        socket_.Connect(QString::fromStdString(args_.host), args_.port, args_.tls);
        loop_.exec();
        lastError_ = socket_.LastError();  // a local close forgets it
        certificateRejected_ = socket_.CertificateRejected();
        socket_.Close(false);
    }

    bool Connected() const { return connected_; }
    QString LastError() const { return lastError_; }
    bool CertificateRejected() const { return certificateRejected_; }
    const CNtripReplyReader& Reply() const { return reply_; }
    const std::vector<std::uint8_t>& Body() const { return body_; }
    std::uint64_t Forwarded() const { return forwarded_; }
    const CRtcm3Framer& Framer() const { return framer_; }

private:
    void OnNotice(int code)
    {
        if (code == CSocketClient::kNoticeConnected) {
            connected_ = true;
            socket_.Write(request_.data(), static_cast<qint64>(request_.size()));
            SendGga();
        } else if (code == CSocketClient::kNoticeData) {
            OnData();
        } else if (code == CSocketClient::kNoticeClosed) {
            loop_.quit();
        }
    }

    void OnData()
    {
        char block[kReadBlock];
        for (qint64 n; (n = socket_.Read(block, kReadBlock)) > 0;) {
            const std::size_t before = body_.size();
            reply_.Feed({reinterpret_cast<const std::uint8_t*>(block), static_cast<std::size_t>(n)},
                        body_);
            if (sink_ == nullptr) {
                if (body_.size() > kMaxSourceTable) loop_.quit();
                continue;
            }
            if (reply_.Kind() != NtripReplyKind::Stream) {
                body_.resize(before);
                continue;
            }
            const auto fresh = std::span<const std::uint8_t>(body_).subspan(before);
            sink_->Write(fresh);
            framer_.Feed(fresh, [](std::span<const std::uint8_t>) {});
            forwarded_ += fresh.size();
            body_.clear();
        }
    }

    void SendGga()
    {
        if (!args_.gga || !connected_) return;
        GnssReceiverState rover;
        rover.latitudeDeg = args_.gga->first;
        rover.longitudeDeg = args_.gga->second;
        rover.fixQuality = 1;
        rover.timeText = UtcTimeText();
        if (const auto sentence = BuildNtripGga(rover))
            socket_.Write(sentence->data(), static_cast<qint64>(sentence->size()));
    }

    const NtripArgs& args_;
    std::string request_;
    QEventLoop loop_;
    CSocketClient socket_;
    CNtripReplyReader reply_;
    std::vector<std::uint8_t> body_;
    CRtcm3Framer framer_;
    CSink* sink_ = nullptr;
    bool connected_ = false;
    std::uint64_t forwarded_ = 0;
    QString lastError_;
    bool certificateRejected_ = false;
};

// Why an attempt ended without corrections; empty when it did not.
std::string Failure(const CNtripSession& s, const NtripArgs& a)
{
    const std::string where = a.host + ":" + std::to_string(a.port);
    if (s.CertificateRejected())
        return "the certificate of " + where + " does not hold: " + s.LastError().toStdString();
    if (!s.Connected()) return "cannot connect to " + where + ": " + s.LastError().toStdString();
    switch (s.Reply().Kind()) {
        case NtripReplyKind::Unauthorized:
            return "the caster refused the user name and password (401)";
        case NtripReplyKind::Refused:
        case NtripReplyKind::SourceTable:
            return "the caster refused the request: " + s.Reply().ReplyText();
        case NtripReplyKind::Pending:
            return s.Reply().ReplyText().empty()
                       ? std::string()
                       : "no answer from the caster: " + s.Reply().ReplyText();
        case NtripReplyKind::Stream: break;
    }
    return {};
}

int ListSourceTable(const NtripArgs& a, std::ostream& out, std::ostream& err)
{
    CNtripSession session(a, std::string(kSourceTableRequest));
    session.Run(nullptr);
    const auto& body = session.Body();
    if (session.Reply().Kind() != NtripReplyKind::SourceTable) {
        const std::string why = Failure(session, a);
        err << kPrefix << (why.empty() ? "the caster sent no source table" : why) << '\n';
        return 1;
    }
    out << "mount,identifier,format,nav_system,country,latitude,longitude,gga\n";
    for (const SourceTableStream& s :
         ParseSourceTable({reinterpret_cast<const char*>(body.data()), body.size()})) {
        out << s.mountPoint << ',' << s.identifier << ',' << s.format << ',' << s.navSystem << ','
            << s.country << ',' << (s.latitude ? Fixed(*s.latitude, 4) : "") << ','
            << (s.longitude ? Fixed(*s.longitude, 4) : "") << ',' << (s.wantsGga ? 1 : 0) << '\n';
    }
    return 0;
}

}  // namespace

int RunNtrip(std::span<const std::string_view> args, std::ostream& out, std::ostream& err)
{
    const auto a = ParseArgs(args, err);
    if (!a) return 2;
    // Sockets want an application object; the command line has none of its own.
    static int argc = 1;
    static char name[] = "skarnet2-tool";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (QCoreApplication::instance() == nullptr)
        app = std::make_unique<QCoreApplication>(argc, argv);
    if (a->sourceTable) return ListSourceTable(*a, out, err);

    const auto password = ReadPassword(a->passwordFile);
    if (!password) {
        err << kPrefix << "cannot read a password from '" << a->passwordFile << "'\n";
        return 2;
    }
    const QByteArray credentials = QByteArray::fromStdString(a->user + ":" + *password).toBase64();
    NtripRequestOptions options;
    options.version = a->version;
    options.host = a->host;
    options.port = a->port;
    CSink sink;
    if (!sink.Open(*a, err)) return 1;
    CNtripSession session(*a, BuildNtripRequest(a->mountPoint, credentials.toStdString(), options));
    session.Run(&sink);
    const std::string why = Failure(session, *a);
    if (!why.empty()) {
        err << kPrefix << why << '\n';
        return 1;
    }
    err << "# bytes " << session.Forwarded() << ", frames " << session.Framer().Frames()
        << ", crc failures " << session.Framer().CrcFailures() << '\n';
    return 0;
}
