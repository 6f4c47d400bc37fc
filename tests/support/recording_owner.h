#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decode/message_loop.h"
#include "decode/nmea_parser.h"
#include "decode/parser_owner.h"

inline std::span<const std::uint8_t> Bytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Owns one decoder the way the main window does and keeps every completed epoch.
template <class Parser>
class BasicRecordingOwner : public IParserOwner {
public:
    BasicRecordingOwner() : parser(this) {}

    bool IsNewEpoch(std::uint64_t ms) override { return !hasLastEpoch || ms != lastEpochMs; }
    void OnEpochComplete(CParser& p) override
    {
        epochs.push_back(*p.State());
        lastEpochMs = p.State()->timeOfDayMs;
        hasLastEpoch = true;
        p.State()->ClearEpoch();
    }
    void SelectPositionSource(std::int32_t protocolId) override
    {
        selectCalls.push_back(protocolId);
        if (acceptSource) parser.SetPositionSource(true);
    }
    bool SkipChecksum() const override { return skipChecksum; }
    std::uint32_t ProtocolsSeen() const override { return protocolsSeen; }
    void MarkProtocolSeen(std::int32_t id) override { protocolsSeen |= 1u << id; }
    const std::uint8_t* IntakeDataEnd() const override { return nullptr; }
    bool IsReplayRunning() const override { return replaying; }
    bool HasWindow() const override { return true; }

    // Frames and decodes a whole buffer as the intake does; returns the bytes left over.
    std::size_t Feed(std::span<const std::uint8_t> b)
    {
        return b.size() - DecodeMessages(parser, b);
    }
    std::size_t Feed(std::string_view text) { return Feed(Bytes(text)); }

    // Feeds bytes in blocks of blockSize, carrying each unfinished tail in front of the next
    // block, then commits the epoch still open.
    void FeedInBlocks(std::span<const std::uint8_t> bytes, std::size_t blockSize)
    {
        std::vector<std::uint8_t> buffer;
        for (std::size_t at = 0; at < bytes.size(); at += blockSize) {
            const auto block = bytes.subspan(at, std::min(blockSize, bytes.size() - at));
            buffer.insert(buffer.end(), block.begin(), block.end());
            const std::size_t left = Feed(buffer);
            buffer.erase(buffer.begin(), buffer.end() - static_cast<std::ptrdiff_t>(left));
        }
        Flush();
    }

    void Flush()
    {
        const GnssReceiverState& s = *parser.State();
        if ((s.contentFlags & ContentFlag::TimeOfDay) && IsNewEpoch(s.timeOfDayMs))
            OnEpochComplete(parser);
    }

    Parser parser;
    std::vector<GnssReceiverState> epochs;
    std::vector<std::int32_t> selectCalls;
    std::uint32_t protocolsSeen = 0;
    bool acceptSource = true;
    bool skipChecksum = false;
    bool replaying = false;
    std::uint64_t lastEpochMs = 0;
    bool hasLastEpoch = false;
};

using RecordingOwner = BasicRecordingOwner<CNmeaParser>;

// A sentence with its checksum and CR LF added: Sentence("GPGGA,...") -> "$GPGGA,...*hh\r\n".
inline std::string Sentence(std::string_view body)
{
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<std::uint8_t>(c);
    char tail[16];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + std::string(body) + tail;
}
