#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// skarnet2-tool serve FILE (--tcp PORT | --pty LINK) [--rate HZ | --real-time] [--loop]
// Streams the log epoch by epoch as a receiver would: to every client of a TCP server on
// 127.0.0.1:PORT (0: any free port), or into a pseudo-terminal whose slave LINK points to.
// The stream starts when the first reader is there. Returns the process exit code.
int RunServe(std::span<const std::string_view> args, std::ostream& err);

// Ends a running serve as Ctrl-C does; callable from any thread.
void RequestServeStop();
