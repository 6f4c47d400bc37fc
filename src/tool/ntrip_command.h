#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// skarnet2-tool ntrip --sourcetable HOST:PORT [--version 2] [--tls]
// skarnet2-tool ntrip HOST:PORT/MOUNT --user U --password-file F [--version 2] [--tls]
//                     [--gga LAT,LON] (--out FILE | --tcp PORT | --pty LINK) [--seconds N]
// The window's NTRIP client without the window: lists a caster's mount points, or streams a
// mount point's corrections (the caster's reply never among them) into a file, to TCP clients
// or into a pseudo-terminal. Returns 2 for bad arguments, 1 when the caster cannot be reached
// or refuses, else 0.
int RunNtrip(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
