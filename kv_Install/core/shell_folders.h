#pragma once

#include <string>

// File-system path of a shell special folder (CSIDL), empty when it has none.
std::string SpecialFolderPath(int csidl);
