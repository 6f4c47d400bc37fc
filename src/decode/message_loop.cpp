#include "decode/message_loop.h"

#include "decode/parser.h"

std::size_t DecodeMessages(CParser& parser, std::span<const std::uint8_t> bytes)
{
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t start = 0, length = 0;
        const auto rest = bytes.subspan(pos);
        if (parser.FindMessage(rest, start, length, true, false) == 0)
            return parser.IsPartial() ? pos + start : bytes.size();
        parser.ParseMessage(rest.subspan(start, length), false);
        pos += start + length;
    }
    return pos;
}
