#include "decode/parser.h"

#include <cstdio>
#include <ctime>

#include "decode/parser_owner.h"

CParser::CParser()
{
    state_->Clear();
    state_->owner = this;
}

void CParser::LogChecksumError()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char line[32];
    std::snprintf(line, sizeof line, "[%02d%02d%02d] error", local.tm_hour, local.tm_min,
                  local.tm_sec);
    errorLog_.emplace_back(line);
    ++errorCount_;
    Diagnostic(line);
}

void CParser::Diagnostic(std::string_view line) const
{
    if (diagnostics_) diagnostics_(line);
}

void CParser::ClearErrors()
{
    errorLog_.clear();
    errorCount_ = 0;
}

std::size_t CParser::DecodeEpoch(std::span<const std::uint8_t> log, std::size_t begin,
                                 std::size_t limit)
{
    std::size_t cursor = begin;
    while (cursor < limit) {
        std::size_t start = 0, length = 0;
        const auto rest = log.subspan(cursor, limit - cursor);
        if (FindMessage(rest, start, length, false, false) == 0) break;
        ParseMessage(rest.subspan(start, length), false);
        cursor += start + length;
        if (state_->Has(ContentFlag::Position | ContentFlag::Height)) break;
    }
    return cursor;
}

void CParser::ReportEpoch(EpochPosition& position) const
{
    position.latitudeDeg = state_->latitudeDeg;
    position.longitudeDeg = state_->longitudeDeg;
    position.ellipsoidHeight = state_->ellipsoidHeight;
    position.hasFixQuality = (state_->contentFlags & ContentFlag::FixQuality) != 0;
    position.fixQuality = position.hasFixQuality ? state_->fixQuality : 0;
}

std::uint64_t CParser::PositionOfState(std::array<double, 3>& position) const
{
    if (!(state_->contentFlags & ContentFlag::Position)) return kNoTime;
    position = {state_->latitudeDeg, state_->longitudeDeg, state_->ellipsoidHeight};
    return state_->timeOfDayMs;
}

bool CParser::NearIntakeEnd(const IParserOwner* owner, const std::uint8_t* position)
{
    if (!owner || !owner->IsReplayRunning()) return false;
    const std::uint8_t* end = owner->IntakeDataEnd();
    if (!end || !position) return false;
    // Compared as numbers: the two pointers need not point into the same array.
    const auto p = reinterpret_cast<std::uintptr_t>(position);
    const auto e = reinterpret_cast<std::uintptr_t>(end);
    return p <= e && e - p <= 5;
}

void CParser::AppendHex(std::string& text, std::span<const std::uint8_t> bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    text.reserve(text.size() + bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += ' ';
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0xF];
    }
}
