#include "tool/single_decoder_owner.h"

#include "decode/gsof_parser.h"
#include "decode/nmea_parser.h"
#include "decode/sbf_parser.h"
#include "decode/ubx_parser.h"

void CSingleDecoderOwner::CreateParser(LogProtocol protocol)
{
    switch (protocol) {
        case LogProtocol::Ubx: parser_ = std::make_unique<CUBXParser>(this); return;
        case LogProtocol::Gsof: parser_ = std::make_unique<CGSOFParser>(this); return;
        case LogProtocol::Sbf: parser_ = std::make_unique<CSBFParser>(this); return;
        case LogProtocol::Nmea:
        case LogProtocol::Unknown: break;
    }
    parser_ = std::make_unique<CNmeaParser>(this);
}

bool CSingleDecoderOwner::HasUnfinishedEpoch() const
{
    const GnssReceiverState& state = *parser_->State();
    const bool filled = state.contentFlags & (ContentFlag::TimeOfDay | ContentFlag::Position);
    return filled && (!hasLastEpoch_ || state.timeOfDayMs != lastEpochMs_);
}
