#include "logio/replay_scanner.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "decode/nmea_parser.h"
#include "intake/intake_dispatcher.h"
#include "intake/intake_listener.h"
#include "logio/missing_check.h"

namespace {

// The scan wants the dispatcher's decoder choice only; epochs are cut here.
class CSilentListener final : public IIntakeListener {
public:
    bool OnRefreshViews(GnssReceiverState&) override { return false; }
    void OnRawLine(std::string_view, bool) override {}
    void OnErrorLine(std::string_view) override {}
};

// A line-based NMEA tail longer than this has no line end coming.
constexpr std::size_t kMaxNmeaTail = 4096;
constexpr std::size_t kSentenceStartWindow = 256;

// Calls back only when the per-mille value has moved by 10, so a pass reports about 100 times.
class CProgress {
public:
    explicit CProgress(const CReplayScanner::ProgressCallback& callback) : callback_(callback) {}
    void Start(int pass)
    {
        pass_ = pass;
        last_ = -1;
        Report(0);
    }
    void Report(int permille)
    {
        permille = std::clamp(permille, 0, 1000);
        if (!callback_ || (last_ >= 0 && permille - last_ < 10 && permille != 1000) ||
            permille == last_)
            return;
        last_ = permille;
        callback_(pass_, permille);
    }

private:
    const CReplayScanner::ProgressCallback& callback_;
    int pass_ = 0;
    int last_ = -1;
};

std::string Substitute(std::string_view text, std::string_view path)
{
    std::string out(text);
    if (const auto at = out.find("%s"); at != std::string::npos) out.replace(at, 2, path);
    return out;
}

// Start of the bytes an NMEA block leaves for the next: behind the last line end, or the last
// sentence start when a long run has none.
std::size_t NmeaCarryFrom(std::span<const std::uint8_t> bytes)
{
    std::size_t keep = bytes.size();
    while (keep > 0 && bytes[keep - 1] != '\n') --keep;
    if (bytes.size() - keep <= kMaxNmeaTail) return keep;
    const std::size_t floor = bytes.size() - std::min(bytes.size(), kSentenceStartWindow);
    for (std::size_t at = bytes.size(); at > floor; --at)
        if (bytes[at - 1] == '$') return at - 1;
    return bytes.size();
}

}  // namespace

std::string ScanStatusMessage(ScanStatus status, std::string_view path)
{
    switch (status) {
        case ScanStatus::CannotOpen: return std::string(kReplayCannotOpenText);
        case ScanStatus::NotRecognised: return Substitute(kReplayNotRecognisedText, path);
        case ScanStatus::NoPositionOrTime: return Substitute(kReplayNoPositionText, path);
        case ScanStatus::NoReferenceStation: return std::string(kReplayNoReferenceText);
        case ScanStatus::Ok:
        case ScanStatus::Cancelled: break;
    }
    return {};
}

std::string FrameRateText(std::string_view protocolName, std::string_view syncSentence,
                          std::int64_t frameIntervalMs, std::int64_t frameCount)
{
    const bool hertz = frameIntervalMs > 0 && frameIntervalMs <= 1000;
    const double rate = hertz ? 1000.0 / static_cast<double>(frameIntervalMs)
                              : static_cast<double>(frameIntervalMs) / 1000.0;
    std::string name(protocolName);
    if (!syncSentence.empty()) {
        name += '-';
        name.append(syncSentence);
    }
    char text[128];
    std::snprintf(text, sizeof text, "%s@%.0f%s  /%lld Frames ", name.c_str(), rate,
                  hertz ? "Hz" : "Sec",
                  static_cast<long long>(std::max<std::int64_t>(frameCount - 1, 0)));
    return text;
}

CFileByteSource::CFileByteSource(const std::string& path) : in_(path, std::ios::binary)
{
    if (!in_.is_open()) return;
    in_.seekg(0, std::ios::end);
    const auto end = in_.tellg();
    size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    in_.seekg(0, std::ios::beg);
}

std::size_t CFileByteSource::Read(std::span<std::uint8_t> into)
{
    if (!in_.is_open() || into.empty()) return 0;
    in_.read(reinterpret_cast<char*>(into.data()), static_cast<std::streamsize>(into.size()));
    const auto count = static_cast<std::size_t>(std::max<std::streamsize>(in_.gcount(), 0));
    // A log still being written may have more on the next read.
    if (in_.eof()) in_.clear();
    return count;
}

bool CFileByteSource::Rewind()
{
    if (!in_.is_open()) return false;
    in_.clear();
    in_.seekg(0);
    return static_cast<bool>(in_);
}

std::size_t CMemoryByteSource::Read(std::span<std::uint8_t> into)
{
    const std::size_t count = std::min(into.size(), bytes_.size() - at_);
    if (count > 0) std::memcpy(into.data(), bytes_.data() + at_, count);
    at_ += count;
    return count;
}

// One scan from start to end.
class CReplayScanner::Run {
public:
    Run(const ScanSettings& settings, const std::atomic<bool>& cancel,
        const ProgressCallback& progress, std::optional<ProtocolId> forced = std::nullopt)
        : settings_(settings),
          cancel_(cancel),
          progress_(progress),
          dispatcher_(listener_),
          forced_(forced)
    {
        dispatcher_.SetSyncProtocol(settings.syncProtocol);
        dispatcher_.SetRawLogEnabled(false);
    }

    ScanResult Execute(IByteSource& source)
    {
        result_.status = BuildIndex(source);
        if (result_.status == ScanStatus::Ok) result_.status = Results();
        return std::move(result_);
    }

private:
    struct Cut {
        std::uint64_t offset = 0;
        std::uint64_t timeMs = 0;
        double latitude = 0.0;
        double longitude = 0.0;
        double height = 0.0;
        std::int32_t fixQuality = 0;
    };

    bool Cancelled() const { return cancel_.load(std::memory_order_relaxed); }

    ScanStatus BuildIndex(IByteSource& source)
    {
        const std::uint64_t size = source.SizeHint();
        progress_.Start(0);
        // Grown only when a carried tail leaves less than a block free; never cleared, so
        // reading does not write every byte twice.
        std::vector<std::uint8_t> buffer(2 * kReadBlock);
        std::size_t filled = 0;
        while (!Cancelled()) {
            if (buffer.size() - filled < kReadBlock) buffer.resize(filled + kReadBlock);
            const std::size_t count = source.Read(std::span(buffer).subspan(filled, kReadBlock));
            if (count == 0) break;
            filled += count;
            result_.bytesRead += count;
            const auto bytes = std::span<const std::uint8_t>(buffer).first(filled);
            if (decoder_ == nullptr && !ChooseDecoder(bytes)) return ScanStatus::NotRecognised;
            const std::size_t keep = nmeaRule_ ? NmeaBlock(bytes) : GenericBlock(bytes);
            std::memmove(buffer.data(), buffer.data() + keep, filled - keep);
            filled -= keep;
            bufferOffset_ += keep;
            if (size > 0) progress_.Report(static_cast<int>(result_.bytesRead * 1000 / size));
        }
        if (Cancelled()) return ScanStatus::Cancelled;
        if (decoder_ == nullptr) return ScanStatus::NotRecognised;
        CloseOpenEpoch(bufferOffset_ + filled);
        progress_.Report(1000);
        return result_.index.Empty() ? ScanStatus::NoPositionOrTime : ScanStatus::Ok;
    }

    bool ChooseDecoder(std::span<const std::uint8_t> first)
    {
        std::size_t consumed = 0;
        decoder_ =
            forced_ ? &dispatcher_.EnsureDecoder(*forced_) : dispatcher_.Dispatch(first, consumed);
        if (decoder_ == nullptr) return false;
        const auto protocol = static_cast<ProtocolId>(decoder_->GetProtocolId());
        result_.protocolName = std::string(ProtocolName(protocol));
        nmea_ = protocol == ProtocolId::Nmea ? dynamic_cast<CNmeaParser*>(decoder_) : nullptr;
        nmeaRule_ = nmea_ != nullptr && settings_.syncProtocol == CIntakeDispatcher::kSyncAuto;
        return true;
    }

    // Every indexed position sentence of the selected type starts an epoch.
    std::size_t NmeaBlock(std::span<const std::uint8_t> bytes)
    {
        nmea_->BuildTimeIndex(bytes, bufferOffset_, false);
        if (settings_.checkMissing) missing_.AddNmeaBlock(*nmea_);
        const std::int32_t type = nmea_->GetPositionTypeIndex();
        if (type < 0 || type >= CNmeaParser::kPositionTypeCount) return NmeaCarryFrom(bytes);
        if (result_.syncSentence.empty())
            result_.syncSentence = std::string(nmea_->GetPositionTypeNameAt(type));
        nmeaInterval_ = std::min(nmeaInterval_, nmea_->GetSmallestInterval(type));

        std::vector<std::pair<std::uint64_t, std::uint64_t>> starts;  // offset, time
        for (const auto& [time, entry] : nmea_->GetTimeIndex(type))
            starts.emplace_back(entry.filePosition, time);
        std::sort(starts.begin(), starts.end());
        for (const auto& start : starts) {
            EpochPosition position;
            std::uint64_t offset = 0;
            std::size_t length = 0;
            const std::uint64_t time =
                nmea_->DecodeAtTime(start.second, position, bytes, bufferOffset_, offset, length);
            if (time == kNoTime) continue;
            OnCut({offset, time, position.latitudeDeg, position.longitudeDeg,
                   position.ellipsoidHeight, position.fixQuality});
        }
        return NmeaCarryFrom(bytes);
    }

    // A message that carries both a time and a position, with a time unlike the last one,
    // starts an epoch.
    std::size_t GenericBlock(std::span<const std::uint8_t> bytes)
    {
        GnssReceiverState& state = *decoder_->State();
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            std::size_t start = 0, length = 0;
            const auto rest = bytes.subspan(pos);
            if (decoder_->FindMessage(rest, start, length, true, false) == 0) {
                const bool wait = decoder_->IsPartial() && rest.size() - start <= kMaxCarry;
                return wait ? pos + start : bytes.size();
            }
            state.contentFlags = 0;
            decoder_->ParseMessage(rest.subspan(start, length), false);
            decoder_->ClearErrorLog();
            if (state.Has(ContentFlag::TimeOfDay | ContentFlag::Position) &&
                state.timeOfDayMs != kNoTime) {
                const bool hasFix = (state.contentFlags & ContentFlag::FixQuality) != 0;
                OnCut({bufferOffset_ + pos + start, state.timeOfDayMs, state.latitudeDeg,
                       state.longitudeDeg, state.ellipsoidHeight, hasFix ? state.fixQuality : 0});
            }
            pos += start + length;
        }
        return pos;
    }

    // An epoch runs from its cut to the next one.
    void OnCut(const Cut& cut)
    {
        if (hasOpen_ && cut.timeMs == open_.timeMs) return;
        CloseOpenEpoch(cut.offset);
        open_ = cut;
        hasOpen_ = true;
    }

    void CloseOpenEpoch(std::uint64_t end)
    {
        if (!hasOpen_) return;
        const std::uint64_t length = end > open_.offset ? end - open_.offset : 0;
        if (!result_.index.Add(
                open_.timeMs, open_.latitude, open_.longitude, static_cast<float>(open_.height),
                static_cast<std::uint32_t>(std::max(open_.fixQuality, 0)), open_.offset, length)) {
            result_.index.ExtendLast(end);
        }
        hasOpen_ = false;
    }

    ScanStatus Results()
    {
        result_.frameIntervalMs =
            nmeaRule_ ? static_cast<std::int64_t>(nmeaInterval_) : LeadingInterval(result_.index);
        if (settings_.errorBase == static_cast<std::int32_t>(ErrorReference::ReferenceStation) &&
            !settings_.hasReferenceStation)
            return ScanStatus::NoReferenceStation;
        if (!Statistics()) return ScanStatus::Cancelled;
        if (settings_.checkMissing) {
            result_.missingChecked = true;
            result_.missingLines =
                nmeaRule_ ? missing_.NmeaLines(*nmea_)
                          : CMissingCheck::GenericLines(result_.index, result_.frameIntervalMs);
        }
        return ScanStatus::Ok;
    }

    static std::int64_t LeadingInterval(const CEpochIndex& index)
    {
        std::int64_t interval = static_cast<std::int64_t>(kInitialSmallestIntervalMs);
        const std::size_t n = std::min(index.Size(), kEntriesForInterval);
        for (std::size_t i = 1; i < n; ++i)
            interval = std::min(interval, index.TimeAt(i) - index.TimeAt(i - 1));
        return interval;
    }

    bool Statistics()
    {
        progress_.Start(1);
        CReplayStatistics statistics;
        const CEpochIndex& index = result_.index;
        for (std::size_t n = 0; n < index.Size(); ++n) {
            if (n % 4096 == 0 && Cancelled()) return false;
            const EpochEntry e = index.At(n);
            statistics.AddEpoch(e.latitude, e.longitude, e.altitude, e.timeMs, e.fixQuality);
            progress_.Report(static_cast<int>(n * 1000 / index.Size()));
        }
        statistics.Average();
        const auto results = statistics.Compute(settings_.errorBase, settings_.referenceLatitude,
                                                settings_.referenceLongitude);
        if (results) result_.statistics = *results;
        progress_.Report(1000);
        return true;
    }

    const ScanSettings& settings_;
    const std::atomic<bool>& cancel_;
    CProgress progress_;
    CSilentListener listener_;
    CIntakeDispatcher dispatcher_;
    std::optional<ProtocolId> forced_;
    CParser* decoder_ = nullptr;
    CNmeaParser* nmea_ = nullptr;
    bool nmeaRule_ = false;
    std::uint64_t nmeaInterval_ = kInitialSmallestIntervalMs;
    std::uint64_t bufferOffset_ = 0;  // file offset of the buffer's first byte
    Cut open_;
    bool hasOpen_ = false;
    CMissingCheck missing_;
    ScanResult result_;
};

CReplayScanner::CReplayScanner(const ScanSettings& settings, const std::atomic<bool>& cancel,
                               ProgressCallback progress)
    : settings_(settings), cancel_(cancel), progress_(std::move(progress))
{
}

CReplayScanner::CReplayScanner(const ScanSettings& settings, ProgressCallback progress)
    : settings_(settings), cancel_(neverCancelled_), progress_(std::move(progress))
{
}

ScanResult CReplayScanner::Scan(IByteSource& source)
{
    ScanResult first = std::make_unique<Run>(settings_, cancel_, progress_)->Execute(source);
    if (first.status != ScanStatus::NoPositionOrTime) return first;
    // The first message may belong to a protocol that carries no positions (a u-blox
    // receiver's raw measurements ahead of its NMEA fixes): try the other decoders.
    for (const ProtocolId protocol :
         {ProtocolId::Nmea, ProtocolId::Ubx, ProtocolId::Sbf, ProtocolId::Gsof}) {
        if (first.protocolName == ProtocolName(protocol)) continue;
        if (protocol == ProtocolId::Nmea && settings_.syncProtocol != 0) continue;
        if (!source.Rewind()) break;
        ScanResult other =
            std::make_unique<Run>(settings_, cancel_, progress_, protocol)->Execute(source);
        if (other.status == ScanStatus::Ok || other.status == ScanStatus::Cancelled) return other;
    }
    return first;
}

ScanResult CReplayScanner::ScanFile(const std::string& path)
{
    CFileByteSource source(path);
    if (!source.IsOpen()) {
        ScanResult result;
        result.status = ScanStatus::CannotOpen;
        return result;
    }
    return Scan(source);
}
