// How the installation folder is formed from its three sources: the default
// (Program Files + product folder), the folder browser and the folder edit box.
// Plain string rules, no Windows headers.
#pragma once

#include <string>

extern const char kProductName[];  // "Kelvane"

// Program Files path + "\" + "Kelvane" + "\" (keeps the trailing separator).
std::string DefaultInstallFolder(const std::string& programFiles);

// Folder returned by the browser: trailing "\" removed, then trailing "/",
// then "\Kelvane\" appended. "D:\" gives "D:\Kelvane\".
std::string FolderFromBrowser(const std::string& chosen);

// Text of the folder edit box as the install command stores it: trailing
// white space removed, then trailing "\"; leading white space stays.
std::string FolderFromEditText(const std::string& text);

// The folder with every trailing "\" removed (working directory of the links).
std::string TrimTrailingBackslashes(const std::string& folder);
