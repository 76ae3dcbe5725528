// The TCP install log: one message to the log server named in the installed
// config.ini.
#pragma once

#include "report/identity.h"

void SendInstallLog(const ReportIdentity& identity, const char* installDir);
