// The TCP install log: one message to the log server named in the installed
// config.ini.
#pragma once

#include <cstdint>

#include "report/identity.h"
#include "report/install_log_message.h"

#include <string>

// Sends the message; what became of it, for the setup log: "sent to
// 127.0.0.1:16666", or "not sent: " and why.
std::string SendInstallLog(const ReportIdentity& identity, const char* installDir);

// The first 32 bytes of the installed version.data (the client's version
// text, NUL-padded) into version, which the caller has zeroed; a missing or
// short file leaves the rest as it was.
void ReadInstalledVersion(const char* installDir, uint8_t (&version)[kLogFieldSize]);
