#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// skarnet2-tool serve FILE (--tcp PORT | --pty LINK | --relay PORT) [--rate HZ | --real-time]
//                    [--loop] [--device-channel PORT] [--devices ID1;ID2;...]
//                    [--foreign-device ID] [--corrections FILE]
// Streams the log epoch by epoch as a receiver would: to every client of a TCP server on
// 127.0.0.1:PORT (0: any free port), into a pseudo-terminal whose slave LINK points to, or to
// the viewers of a local relay server stand-in (see relay_output.h; the last four options go
// with --relay only). The stream starts when the first reader is there. Returns the process
// exit code.
int RunServe(std::span<const std::string_view> args, std::ostream& err);

// Ends a running serve as Ctrl-C does; callable from any thread.
void RequestServeStop();
