#pragma once
// Fastboot devices reached over TCP ("tcp:HOST:PORT"): network boot loaders, the bench and the
// test device. The connection looks to the transport like a USB interface of vendor 18D1,
// class FF/42/03 with two endpoints, whose serial number is "HOST:PORT".

#include <string>

#include "fastboot/backends.h"

namespace fastboot {

inline constexpr char kTcpPathPrefix[] = "tcp:";

// Splits "tcp:HOST:PORT" (HOST may be a bracketed IPv6 address). False when it is not one.
bool parseTcpPath(const std::string& path, std::string& host, std::string& port);

Backend makeTcpBackend();

}  // namespace fastboot
