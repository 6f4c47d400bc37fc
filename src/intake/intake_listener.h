#pragma once

#include <cstdint>
#include <span>
#include <string_view>

class CParser;
struct GnssReceiverState;

// What the intake tells the window that owns it (or a test, or the replay).
class IIntakeListener {
public:
    virtual ~IIntakeListener() = default;

    // An epoch is ready to show. The listener may clear the content bits it has consumed.
    // Returns whether a valid position was shown.
    virtual bool OnRefreshViews(GnssReceiverState& snapshot) = 0;
    // A line for the raw-message window; hasFix picks its colour.
    virtual void OnRawLine(std::string_view line, bool hasFix) = 0;
    // A decoder's error log lines ("[hhmmss] error").
    virtual void OnErrorLine(std::string_view line) = 0;
    // A message was decoded (the recorder's extraction and latest-logging hooks).
    virtual void OnMessageDecoded(std::span<const std::uint8_t> message, const CParser& parser)
    {
        (void)message;
        (void)parser;
    }
    // Brackets one dispatch pass, so the raw-message window can hold its redraws.
    virtual void OnPassBegin() {}
    virtual void OnPassEnd() {}
};
