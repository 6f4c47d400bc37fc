#include "net/source_table.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "net/ntrip_reply.h"

namespace {

std::vector<std::string_view> Split(std::string_view line, char separator)
{
    std::vector<std::string_view> fields;
    for (std::size_t at = 0;;) {
        const std::size_t next = line.find(separator, at);
        fields.push_back(line.substr(at, next - at));
        if (next == std::string_view::npos) break;
        at = next + 1;
    }
    return fields;
}

std::optional<double> Degrees(std::string_view text, double limit)
{
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() ||
        !std::isfinite(value) || std::fabs(value) > limit)
        return std::nullopt;
    return value;
}

SourceTableStream StreamOf(const std::vector<std::string_view>& f)
{
    const auto field = [&f](std::size_t i) { return i < f.size() ? f[i] : std::string_view(); };
    SourceTableStream s;
    s.mountPoint = std::string(field(1).substr(0, kMaxMountPoint));
    s.identifier = std::string(field(2));
    s.format = std::string(field(3));
    s.formatDetails = std::string(field(4));
    s.navSystem = std::string(field(6));
    s.country = std::string(field(8));
    s.latitude = Degrees(field(9), 90.0);
    s.longitude = Degrees(field(10), 360.0);
    s.wantsGga = field(11) == "1";
    return s;
}

}  // namespace

std::vector<SourceTableStream> ParseSourceTable(std::string_view body)
{
    std::vector<SourceTableStream> streams;
    while (!body.empty()) {
        const std::size_t end = body.find('\n');
        std::string_view line = body.substr(0, end);
        body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.substr(0, 14) == "ENDSOURCETABLE") break;
        const auto fields = Split(line, ';');
        if (fields.size() >= 2 && fields[0] == "STR" && !fields[1].empty())
            streams.push_back(StreamOf(fields));
    }
    return streams;
}

std::optional<std::vector<SourceTableStream>> ParseSourceTableReply(std::string_view reply)
{
    CNtripReplyReader reader;
    std::vector<std::uint8_t> body;
    reader.Feed({reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size()}, body);
    if (reader.Kind() != NtripReplyKind::SourceTable || !reader.HeaderDone()) return std::nullopt;
    return ParseSourceTable({reinterpret_cast<const char*>(body.data()), body.size()});
}
