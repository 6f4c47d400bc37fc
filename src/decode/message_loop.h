#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

class CParser;

// Frames (checksums checked) and decodes every complete message in bytes, as the intake does
// with what it has read so far. Returns how many leading bytes are done with: the rest is an
// unfinished message that the caller keeps in front of the next bytes.
std::size_t DecodeMessages(CParser& parser, std::span<const std::uint8_t> bytes);
