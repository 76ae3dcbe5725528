#pragma once

#include <string>

// File-system path of a shell special folder (CSIDL) as UTF-16, empty when it
// has none.
std::u16string SpecialFolderPathWide(int csidl);

// The same path as GBK text. A path GBK cannot hold (a user name in Korean
// letters, say) is given by its short form when the system keeps one (it
// names the same folder in plain letters); empty when it has no GBK form at
// all, never one with '?' in it.
std::string SpecialFolderPath(int csidl);
