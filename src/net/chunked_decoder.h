#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// HTTP/1.1 chunked transfer coding, undone in arbitrary pieces: a hexadecimal size line
// (extensions after ';' ignored), that many bytes, CR LF; size 0 ends the body.
class CChunkedDecoder {
public:
    static constexpr std::size_t kMaxSizeLine = 64;

    // Appends the body bytes found in 'bytes' to 'out'; false once the coding is broken
    // (the rest of the stream is then no body).
    bool Feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);

    bool Finished() const { return state_ == State::Done; }
    bool Broken() const { return state_ == State::Broken; }

private:
    enum class State { SizeLine, Data, DataEnd, Trailer, Done, Broken };

    bool TakeSizeLine();

    State state_ = State::SizeLine;
    std::vector<char> line_;
    std::size_t remaining_ = 0;
};
