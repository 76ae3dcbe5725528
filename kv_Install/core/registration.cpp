#include "core/registration.h"

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvane";

int WriteUninstallValue(const char*, const char*) { return 0; }
