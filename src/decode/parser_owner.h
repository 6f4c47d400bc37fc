#pragma once

#include <cstdint>

class CParser;

// What a decoder expects of the object that created it: the main window, the
// replay scanner, the command-line tool or a test.
class IParserOwner {
public:
    virtual ~IParserOwner() = default;

    // Whether a position time differs from the time of the last epoch the owner completed.
    virtual bool IsNewEpoch(std::uint64_t timeOfDayMs) = 0;
    // Called by the position-source decoder before it overwrites its state with a new epoch.
    virtual void OnEpochComplete(CParser& parser) = 0;
    // Called by a decoder that sees a position message while it is not the position source.
    virtual void SelectPositionSource(std::int32_t protocolId) = 0;

    virtual bool SkipChecksum() const = 0;
    virtual std::uint32_t ProtocolsSeen() const = 0;
    virtual void MarkProtocolSeen(std::int32_t protocolId) = 0;
    // One past the last byte the owner read into its intake buffer; null when unknown.
    virtual const std::uint8_t* IntakeDataEnd() const = 0;
    virtual bool IsReplayRunning() const = 0;
    // Epoch callbacks go only to owners that have a window (or act like one).
    virtual bool HasWindow() const = 0;
};
