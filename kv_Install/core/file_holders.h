// Which programs hold a file open, as Windows' Restart Manager tells
// (Vista and later; rstrtmgr.dll is delay-loaded and may be missing).
#pragma once

#include <string>

// "name (process N)" for each program holding path (GBK), joined by ", ";
// empty when the Restart Manager cannot tell.
std::string FileHolders(const char* path);
