#include "intake/intake_dispatcher.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "decode/gsof_parser.h"
#include "decode/nmea_parser.h"
#include "decode/parser.h"
#include "decode/sbf_parser.h"
#include "decode/ubx_parser.h"
#include "intake/protocol_starts.h"
#include "intake/state_merge.h"

namespace {

constexpr std::uint32_t Bit(ProtocolId id) { return 1u << static_cast<std::int32_t>(id); }
constexpr std::uint32_t kBinaryBits =
    Bit(ProtocolId::Ubx) | Bit(ProtocolId::Gsof) | Bit(ProtocolId::Sbf);
// Shorter NMEA messages are not worth a line in the raw-message window.
constexpr std::size_t kMinRawLineLength = 11;
constexpr ProtocolId kBinaryOrder[] = {ProtocolId::Ubx, ProtocolId::Gsof, ProtocolId::Sbf};
constexpr std::size_t kNoStart = CStartSearch::kNone;

std::size_t Index(ProtocolId id) { return static_cast<std::size_t>(id); }

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

}  // namespace

CIntakeDispatcher::CIntakeDispatcher(IIntakeListener& listener) : listener_(listener) {}

CIntakeDispatcher::~CIntakeDispatcher() = default;

void CIntakeDispatcher::SetSyncProtocol(std::int32_t syncProtocol)
{
    syncProtocol_ = syncProtocol == kSyncNonNmea ? kSyncNonNmea : kSyncAuto;
}

void CIntakeDispatcher::Arrive(std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const std::size_t n = std::min(bytes.size(), kMaxArrival);
        if (carried_ + n > kBufferSize) {
            carried_ = 0;
            parseOffset_ = 0;
            streamBase_ = streamEnd_;
        }
        std::memcpy(buffer_.data() + carried_, bytes.data(), n);
        streamEnd_ += n;
        Intake(carried_ + n);
        bytes = bytes.subspan(n);
    }
}

std::span<std::uint8_t> CIntakeDispatcher::ReceiveSpace()
{
    return std::span<std::uint8_t>(buffer_).subspan(carried_);
}

void CIntakeDispatcher::Received(std::size_t count)
{
    if (count == 0) return;
    const std::size_t taken = std::min(count, kBufferSize - carried_);
    streamEnd_ += taken;
    Intake(carried_ + taken);
}

void CIntakeDispatcher::Intake(std::size_t length)
{
    listener_.OnPassBegin();
    const std::span<const std::uint8_t> range =
        std::span<const std::uint8_t>(buffer_.data(), length).subspan(parseOffset_);
    // A pass goes on while decoders make progress: a mixed stream hands each protocol its
    // own stretch, and none may wait for the next arrival while the buffer fills.
    CParser* decoder = nullptr;
    std::size_t consumed = 0;
    while (consumed < range.size()) {
        std::size_t step = 0;
        CParser* used = Dispatch(range.subspan(consumed), step);
        if (used == nullptr) break;
        decoder = used;
        consumed += step;
        if (step == 0) break;
    }
    listener_.OnPassEnd();
    CarryOver(length, decoder, consumed);
}

void CIntakeDispatcher::CarryOver(std::size_t length, const CParser* decoder, std::size_t consumed)
{
    if (decoder == nullptr) {
        if (length - parseOffset_ <= kMaxUnclaimed) {
            carried_ = length;
        } else {
            KeepFrom(length, LastPossibleStart(length));
        }
        return;
    }
    if (length <= kCompactThreshold) {
        parseOffset_ += consumed;
        carried_ = length;
        return;
    }
    const std::size_t rest = length - (parseOffset_ + consumed);
    KeepFrom(length, rest >= 1 && rest <= kMaxCarriedTail ? length - rest : length);
}

std::size_t CIntakeDispatcher::LastPossibleStart(std::size_t length) const
{
    const std::size_t earliest = std::max(parseOffset_, length - std::min(length, kMaxStartTail));
    for (std::size_t i = length; i-- > earliest;) {
        const std::uint8_t b = buffer_[i];
        if (b == '$' || b == 0xB5 || b == 0x02) return i;
    }
    return length;
}

void CIntakeDispatcher::KeepFrom(std::size_t length, std::size_t from)
{
    const std::size_t rest = length - from;
    if (rest > 0) std::memmove(buffer_.data(), buffer_.data() + from, rest);
    streamBase_ += from;
    carried_ = rest;
    parseOffset_ = 0;
}

CParser* CIntakeDispatcher::Dispatch(std::span<const std::uint8_t> bytes, std::size_t& consumed)
{
    consumed = 0;
    dataEnd_ = bytes.data() + bytes.size();
    const Choice choice = ChooseDecoder(bytes);
    if (choice.decoder == nullptr) return nullptr;
    current_ = choice.decoder;
    CParser& decoder = *choice.decoder;
    const std::size_t end = RunMessageLoop(bytes, decoder, choice.begin, choice.end);
    // Replay hands over one epoch per range; live epochs are shown as each one closes.
    if (decoder.IsAtDataEnd(bytes.data() + end) && TakeSnapshot(decoder)) ShowEpoch();
    consumed = end;
    return &decoder;
}

std::size_t CIntakeDispatcher::FeedReplay(std::span<const std::uint8_t> bytes)
{
    std::size_t used = 0;
    while (used < bytes.size()) {
        std::size_t step = 0;
        if (Dispatch(bytes.subspan(used), step) == nullptr || step == 0) break;
        used += step;
    }
    return used;
}

CIntakeDispatcher::Choice CIntakeDispatcher::ChooseDecoder(std::span<const std::uint8_t> bytes)
{
    startCount_ = 0;
    if (forced_) {
        MarkProtocolSeen(static_cast<std::int32_t>(*forced_));
        return {&DecoderFor(*forced_), 0, bytes.size()};
    }
    std::uint64_t offset = 0;
    if (!InStream(bytes, offset)) return ChooseBySignatures(bytes);
    // Bytes that arrived inside a message change no start, and so not the choice either.
    ChoiceMemo& memo = lastChoice_;
    if (startSearch_.Advance(bytes, offset) && memo.repeatable && memo.offset == offset &&
        memo.protocolsSeen == protocolsSeen_ && memo.syncProtocol == syncProtocol_ &&
        memo.current == current_) {
        Choice choice = memo.choice;
        if (memo.toEnd) choice.end = bytes.size();
        return choice;
    }
    memo = {true, offset, protocolsSeen_, syncProtocol_, current_, {}, false};
    memo.choice = ChooseBySignatures(bytes);
    memo.toEnd = memo.choice.end == bytes.size();
    return memo.choice;
}

CIntakeDispatcher::Choice CIntakeDispatcher::ChooseBySignatures(std::span<const std::uint8_t> bytes)
{
    if (protocolsSeen_ == 0) return ChooseFromStarts(bytes);
    const bool autoSync = syncProtocol_ == kSyncAuto;
    const bool nmeaSeen = (protocolsSeen_ & Bit(ProtocolId::Nmea)) != 0;
    if (autoSync && nmeaSeen && !BinarySeen()) {
        // A plain NMEA stream: a sentence at a line start goes straight to its decoder.
        const std::size_t nmea = FindSentenceStart(bytes);
        if (nmea != kNoStart && StartsLine(bytes, nmea)) {
            MarkProtocolSeen(static_cast<std::int32_t>(ProtocolId::Nmea));
            return {&DecoderFor(ProtocolId::Nmea), nmea, bytes.size()};
        }
        return ChooseFromStarts(bytes);
    }
    bool exactlyOne = false;
    const ProtocolId binary = OnlyBinarySeen(exactlyOne);
    bool marked = false;
    if (exactlyOne) {
        if (const std::size_t start = FindPlausibleStart(binary, bytes); start != kNoStart) {
            const bool lineStart = start > 0 && StartsLine(bytes, start);
            if (!nmeaSeen && !(autoSync && lineStart)) {
                MarkProtocolSeen(static_cast<std::int32_t>(binary));
                // A sentence behind the frames is NMEA's even before NMEA was seen: the binary
                // decoder would skip it on its way to a frame still arriving.
                const std::size_t nmea = autoSync ? FindSentenceStart(bytes) : kNoStart;
                return {&DecoderFor(binary), start,
                        nmea != kNoStart && nmea > start ? nmea : bytes.size()};
            }
            RecordStart(start, binary);
            marked = true;
        }
    }
    if (autoSync && marked && !HasStart(ProtocolId::Nmea)) {
        const std::size_t nmea = FindSentenceStart(bytes);
        if (nmea != kNoStart) RecordStart(nmea, ProtocolId::Nmea);
    }
    return ChooseFromStarts(bytes);
}

CIntakeDispatcher::Choice CIntakeDispatcher::ChooseFromStarts(std::span<const std::uint8_t> bytes)
{
    const bool autoSync = syncProtocol_ == kSyncAuto;
    RecordBinaryStarts(bytes);
    if (autoSync && !HasStart(ProtocolId::Nmea)) {
        const std::size_t nmea = FindSentenceStart(bytes);
        if (nmea != kNoStart) RecordStart(nmea, ProtocolId::Nmea);
    }
    // Without NMEA the earliest binary start takes all the bytes behind it.
    if (autoSync && !HasStart(ProtocolId::Nmea) && startCount_ > 1) startCount_ = 1;
    if (startCount_ == 0) return {current_, 0, bytes.size()};

    const Start first = starts_[0];
    std::size_t end = bytes.size();
    for (std::size_t i = 1; i < startCount_; ++i) {
        if (starts_[i].protocol != first.protocol) {
            end = starts_[i].offset;
            break;
        }
    }
    if (autoSync && startCount_ > 1) {
        // The other protocol's decoder looks at its part too, so that the stream is known to
        // be mixed before its first message is due.
        for (std::size_t i = 1; i < startCount_; ++i) {
            const bool other = first.protocol == ProtocolId::Nmea
                                   ? starts_[i].protocol != ProtocolId::Nmea
                                   : starts_[i].protocol == ProtocolId::Nmea;
            if (other) {
                SearchAlso(bytes.subspan(starts_[i].offset), starts_[i].protocol);
                break;
            }
        }
    }
    MarkProtocolSeen(static_cast<std::int32_t>(first.protocol));
    return {&DecoderFor(first.protocol), first.offset, end};
}

void CIntakeDispatcher::RecordBinaryStarts(std::span<const std::uint8_t> bytes)
{
    for (const ProtocolId id : kBinaryOrder) {
        if (HasStart(id)) continue;
        const std::size_t start = FindPlausibleStart(id, bytes);
        if (start != kNoStart) RecordStart(start, id);
    }
}

std::size_t CIntakeDispatcher::FindPlausibleStart(ProtocolId id,
                                                  std::span<const std::uint8_t> bytes)
{
    std::uint64_t offset = 0;
    if (InStream(bytes, offset)) return startSearch_.Binary(id, bytes, offset);
    return startSearch_.BinaryOnce(id, bytes);
}

std::size_t CIntakeDispatcher::FindSentenceStart(std::span<const std::uint8_t> bytes)
{
    std::uint64_t offset = 0;
    if (InStream(bytes, offset)) return startSearch_.Nmea(bytes, offset);
    return FindNmeaStart(bytes).value_or(kNoStart);
}

bool CIntakeDispatcher::InStream(std::span<const std::uint8_t> bytes, std::uint64_t& offset) const
{
    // Compared as numbers: replay hands over bytes that do not live in the buffer.
    const auto at = reinterpret_cast<std::uintptr_t>(bytes.data());
    const auto base = reinterpret_cast<std::uintptr_t>(buffer_.data());
    if (at < base || at - base > buffer_.size()) return false;
    offset = streamBase_ + (at - base);
    return offset + bytes.size() <= streamEnd_;
}

void CIntakeDispatcher::RecordStart(std::size_t offset, ProtocolId protocol)
{
    if (HasStart(protocol) || startCount_ == starts_.size()) return;
    std::size_t i = startCount_++;
    for (; i > 0 && starts_[i - 1].offset > offset; --i) starts_[i] = starts_[i - 1];
    starts_[i] = {offset, protocol};
}

bool CIntakeDispatcher::HasStart(ProtocolId protocol) const
{
    return std::any_of(starts_.begin(), starts_.begin() + static_cast<std::ptrdiff_t>(startCount_),
                       [protocol](const Start& s) { return s.protocol == protocol; });
}

void CIntakeDispatcher::SearchAlso(std::span<const std::uint8_t> bytes, ProtocolId protocol)
{
    // The other decoder's look may log errors: every choice takes it afresh.
    lastChoice_.repeatable = false;
    std::size_t skip = 0;
    std::size_t length = 0;
    DecoderFor(protocol).FindMessage(bytes, skip, length, true, false);
}

std::size_t CIntakeDispatcher::RunMessageLoop(std::span<const std::uint8_t> bytes, CParser& decoder,
                                              std::size_t begin, std::size_t end)
{
    std::size_t position = begin;
    while (position < end) {
        const std::span<const std::uint8_t> window = bytes.subspan(position, end - position);
        std::size_t skip = 0;
        std::size_t length = 0;
        const std::uint32_t code = decoder.FindMessage(window, skip, length, true, false);
        if (code == 0 || length == 0 || skip + length > window.size()) {
            ForwardErrors(decoder);
            position += std::min(skip, window.size());
            if (replayRunning_) {
                if (decoder.IsPartial() && bytes.size() > end) position += length;
                break;
            }
            if (decoder.IsPartial()) break;
            // Nothing here is or will become a message for this decoder: the bytes are done
            // with, so that rejected sentences are neither logged again nor left to block
            // the buffer until it overflows.
            // Nothing here is a message for this decoder. What is no message of any protocol
            // (a rejected sentence, one the decoder does not know) is done with, so that it
            // is neither logged again nor left to block the buffer until it overflows; a
            // message still arriving, or another protocol's, stays for the next choice.
            if (skip == 0) {
                position += KeptFrom(window, decoder);
                break;
            }
            continue;
        }
        position += skip;
        const std::span<const std::uint8_t> message = bytes.subspan(position, length);
        NoteMessage(message);
        decoder.ParseMessage(message, false);
        parsing_ = false;
        ForwardErrors(decoder);
        listener_.OnMessageDecoded(message, decoder);
        if (rawLogEnabled_) FeedRawLog(message, decoder);
        position += length;
    }
    return std::min(position, bytes.size());
}

std::size_t CIntakeDispatcher::KeptFrom(std::span<const std::uint8_t> bytes, const CParser& decoder)
{
    const auto own = static_cast<ProtocolId>(decoder.GetProtocolId());
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        // Only a signature's first byte begins a frame.
        const std::uint8_t b = bytes[at];
        if (b != SignatureLead(ProtocolId::Ubx) && b != SignatureLead(ProtocolId::Gsof) &&
            b != SignatureLead(ProtocolId::Sbf)) {
            continue;
        }
        ProtocolId protocol = own;
        std::size_t frameLength = 0;
        const auto verdict = frameCheck_.Check(bytes, at, protocol, frameLength);
        if (verdict == CFrameCheck::Verdict::NeedMore && frameLength <= kMaxCarriedTail) return at;
        if (verdict == CFrameCheck::Verdict::Confirmed && protocol != own) return at;
    }
    return bytes.size();
}

void CIntakeDispatcher::NoteMessage(std::span<const std::uint8_t> message)
{
    // Compared as numbers: replay hands over bytes that do not live in the buffer.
    const auto at = reinterpret_cast<std::uintptr_t>(message.data());
    const auto base = reinterpret_cast<std::uintptr_t>(buffer_.data());
    if (at < base || at - base >= buffer_.size()) return;
    messageBegin_ = streamBase_ + (at - base);
    messageEnd_ = messageBegin_ + message.size();
    parsing_ = true;
}

void CIntakeDispatcher::FeedRawLog(std::span<const std::uint8_t> message, CParser& decoder)
{
    const bool hasFix = decoder.State()->fixQuality > 0;
    if (decoder.GetProtocolId() == static_cast<std::int32_t>(ProtocolId::Nmea)) {
        const std::string_view text(reinterpret_cast<const char*>(message.data()), message.size());
        if (message.size() >= kMinRawLineLength && !HiddenByFilter(text)) {
            listener_.OnRawLine(text, hasFix);
        }
        return;
    }
    const std::string hex = decoder.GetHexText();
    std::string_view rest(hex);
    while (!rest.empty()) {
        const std::size_t cr = rest.find('\r');
        const std::string_view piece = rest.substr(0, cr);
        if (!piece.empty()) listener_.OnRawLine(piece, hasFix);
        if (cr == std::string_view::npos) break;
        rest.remove_prefix(cr + 1);
    }
}

bool CIntakeDispatcher::HiddenByFilter(std::string_view text) const
{
    const RawLogFilter& f = rawLogFilter_;
    return (!f.gga && Contains(text, "GGA")) || (!f.rmc && Contains(text, "RMC")) ||
           (!f.gsa && Contains(text, "GSA")) || (!f.gsv && Contains(text, "GSV")) ||
           (!f.gpgsv && Contains(text, "$GPGSV")) || (!f.glgsv && Contains(text, "$GLGSV")) ||
           (!f.gagsv && Contains(text, "$GAGSV")) || (!f.gbgsv && Contains(text, "$GBGSV")) ||
           (!f.gqgsv && Contains(text, "$GQGSV"));
}

void CIntakeDispatcher::ForwardErrors(CParser& decoder)
{
    if (decoder.ErrorLog().empty()) return;
    for (const std::string& line : decoder.ErrorLog()) listener_.OnErrorLine(line);
    decoder.ClearErrorLog();
}

bool CIntakeDispatcher::ShowEpoch()
{
    const bool validPosition = listener_.OnRefreshViews(snapshot_);
    lastEpochTime_ = snapshot_.timeOfDayMs;
    return validPosition;
}

void CIntakeDispatcher::IdleFlush()
{
    if (current_ != nullptr && TakeSnapshot(*current_)) ShowEpoch();
}

void CIntakeDispatcher::FullReset()
{
    current_ = nullptr;
    carried_ = 0;
    parseOffset_ = 0;
    streamBase_ = streamEnd_;
    buffer_.fill(0);
    startCount_ = 0;
    startSearch_.Forget();
    lastChoice_ = {};
    PartialReset();
    source_ = nullptr;
    auxiliary_ = nullptr;
}

void CIntakeDispatcher::PartialReset()
{
    lastEpochTime_ = 0;
    snapshot_.Clear();
    for (const auto& decoder : decoders_) {
        if (decoder) decoder->Reset();
    }
}

void CIntakeDispatcher::Disconnect()
{
    FullReset();
    for (auto& decoder : decoders_) decoder.reset();
    protocolsSeen_ = 0;
}

CParser* CIntakeDispatcher::Decoder(ProtocolId id) const { return Existing(id); }

bool CIntakeDispatcher::IsNewEpoch(std::uint64_t timeOfDayMs)
{
    return timeOfDayMs != snapshot_.timeOfDayMs;
}

void CIntakeDispatcher::OnEpochComplete(CParser& parser)
{
    // Every epoch is shown as it closes, however many arrive in one read.
    if (TakeSnapshot(parser)) ShowEpoch();
}

CParser* CIntakeDispatcher::PositionSourceFor(CParser& parser) const
{
    if (source_ != nullptr && source_->IsPositionSource()) return source_;
    if (parser.IsPositionSource()) return &parser;
    if (CParser* nmea = Existing(ProtocolId::Nmea); nmea && nmea->IsPositionSource()) return nmea;
    if (!BinarySeen()) return nullptr;
    for (const ProtocolId id : kBinaryOrder) {
        CParser* binary = Existing(id);
        if (binary != nullptr && binary->IsPositionSource()) return binary;
    }
    return nullptr;
}

bool CIntakeDispatcher::TakeSnapshot(CParser& parser)
{
    CParser* source = PositionSourceFor(parser);
    if (source == nullptr) return false;
    const bool mixed = BinarySeen() && (protocolsSeen_ & Bit(ProtocolId::Nmea)) != 0;
    CParser* auxiliary = nullptr;
    if (mixed && !parser.IsPositionSource()) {
        auxiliary =
            (auxiliary_ != nullptr && !auxiliary_->IsPositionSource()) ? auxiliary_ : &parser;
    }
    // Nothing arrived since the last snapshot: the epoch has been shown already.
    if (source->State()->contentFlags == 0 &&
        (auxiliary == nullptr || auxiliary->State()->contentFlags == 0)) {
        return false;
    }
    source_ = source;

    const std::uint32_t sourceFlags = source->State()->contentFlags;
    snapshot_ = *source->State();
    const bool fromNmea = parser.GetProtocolId() == static_cast<std::int32_t>(ProtocolId::Nmea);
    if (snapshot_.satellitesUsed == 0 && fromNmea) snapshot_.satellitesUsed = snapshot_.usedTotal;

    if (auxiliary != nullptr) {
        auxiliary_ = auxiliary;
        const bool ubx = auxiliary->GetProtocolId() == static_cast<std::int32_t>(ProtocolId::Ubx);
        MergeFieldGroups(*auxiliary->State(), ubx, sourceFlags, snapshot_);
    }
    source->State()->ClearEpoch();
    if (auxiliary != nullptr && auxiliary != source) auxiliary->State()->ClearEpoch();
    return true;
}

void CIntakeDispatcher::SelectPositionSource(std::int32_t protocolId)
{
    if (protocolId < 0 || protocolId >= kProtocolCount) return;
    const auto protocol = static_cast<ProtocolId>(protocolId);
    CParser* nmea = Existing(ProtocolId::Nmea);
    const bool nmeaIsSource = nmea != nullptr && nmea->IsPositionSource();
    if (syncProtocol_ == kSyncAuto && (protocol == ProtocolId::Nmea || nmeaIsSource)) {
        if (nmea != nullptr && !nmeaIsSource) nmea->SetPositionSource(true);
        // Every binary decoder steps back, not only that of a lone binary protocol: noise
        // that looked like a second one must not leave UBX holding the positions.
        for (const ProtocolId id : kBinaryOrder) {
            if (CParser* binary = Existing(id)) binary->SetPositionSource(false);
        }
        return;
    }
    CParser* requester = Existing(protocol);
    if (nmeaIsSource) {
        // NON NMEA here: the binary protocol takes over.
        nmea->SetPositionSource(false);
        if (requester != nullptr) requester->SetPositionSource(true);
    } else if (requester != nullptr) {
        requester->SetPositionSource(true);
    }
}

void CIntakeDispatcher::MarkProtocolSeen(std::int32_t protocolId)
{
    if (protocolId >= 0 && protocolId < kProtocolCount) protocolsSeen_ |= 1u << protocolId;
}

CParser& CIntakeDispatcher::DecoderFor(ProtocolId id)
{
    std::unique_ptr<CParser>& slot = decoders_[Index(id)];
    if (!slot) {
        switch (id) {
            case ProtocolId::Nmea: slot = std::make_unique<CNmeaParser>(this); break;
            case ProtocolId::Ubx: slot = std::make_unique<CUBXParser>(this); break;
            case ProtocolId::Gsof: slot = std::make_unique<CGSOFParser>(this); break;
            case ProtocolId::Sbf: slot = std::make_unique<CSBFParser>(this); break;
        }
        if (decoderSetup_) decoderSetup_(*slot);
    }
    return *slot;
}

CParser* CIntakeDispatcher::Existing(ProtocolId id) const { return decoders_[Index(id)].get(); }

bool CIntakeDispatcher::BinarySeen() const { return (protocolsSeen_ & kBinaryBits) != 0; }

ProtocolId CIntakeDispatcher::OnlyBinarySeen(bool& exactlyOne) const
{
    const std::uint32_t binary = protocolsSeen_ & kBinaryBits;
    exactlyOne = binary == Bit(ProtocolId::Ubx) || binary == Bit(ProtocolId::Gsof) ||
                 binary == Bit(ProtocolId::Sbf);
    if (binary == Bit(ProtocolId::Gsof)) return ProtocolId::Gsof;
    if (binary == Bit(ProtocolId::Sbf)) return ProtocolId::Sbf;
    return ProtocolId::Ubx;
}
