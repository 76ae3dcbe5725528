#include "report/identity.h"

void ReportIdentity::Load() {}

void ReportIdentity::SendLoggingSetup(int, const char*) const {}
