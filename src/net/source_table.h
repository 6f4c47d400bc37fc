#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One mount point of a caster's source table (an STR record).
struct SourceTableStream {
    std::string mountPoint;  // at most kMaxMountPoint characters
    std::string identifier;
    std::string format;
    std::string formatDetails;
    std::string navSystem;
    std::string country;
    std::optional<double> latitude;
    std::optional<double> longitude;
    bool wantsGga = false;  // the NMEA field: the caster needs the rover's position
};

inline constexpr std::size_t kMaxMountPoint = 127;

// The STR records of a source table body, up to a line beginning with "ENDSOURCETABLE" or the
// end; lines may end in CR LF or LF alone. CAS and NET records and anything else are skipped.
std::vector<SourceTableStream> ParseSourceTable(std::string_view body);

// A whole reply to "GET /": the streams when it is a source table ("SOURCETABLE 200 OK", or an
// HTTP 200 with a gnss/sourcetable body, chunked or not), nothing otherwise.
std::optional<std::vector<SourceTableStream>> ParseSourceTableReply(std::string_view reply);

// The request for a caster's source table.
inline constexpr std::string_view kSourceTableRequest =
    "GET / HTTP/1.0\r\nUser-Agent: NTRIP Velmora\r\nAccept: */*\r\nConnection: close\r\n\r\n";
