// How the installation folder is formed from its three sources: the default
// (Program Files + product folder), the folder browser and the folder edit box.
// Plain string rules, no Windows headers.
#pragma once

#include <string>
#include <string_view>

extern const char kProductName[];

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

// What is wrong with a folder the install command is about to use, checked
// before anything is written.
enum class FolderProblem {
  None,
  Empty,        // nothing but white space and separators
  NotFullPath,  // not "X:..." nor "\\server\share...": it would resolve against the current folder
  BadName,      // a component Windows reads as a device ("con", "nul.txt"), or a ':' past the drive
  TooLong,      // the payload's longest entry would not fit below it in a path buffer
  NotGbk,       // a character GBK cannot hold (the box takes any Unicode text)
};

// folder: as FolderFromEditText stores it. longestEntryName: the byte length
// of the payload's longest entry name; every "folder\name" must stay below
// the system's 260-byte path limit, its NUL included.
FolderProblem CheckInstallFolder(const std::string& folder, size_t longestEntryName);

// The folder box's text as the install command takes it: converted to GBK
// (NotGbk, and *folder empty, when it holds a character GBK cannot hold),
// then FolderFromEditText into *folder, then CheckInstallFolder.
FolderProblem CheckFolderBoxText(std::u16string_view boxText, size_t longestEntryName, std::string* folder);

// The short text shown for a problem (GBK).
const char* FolderProblemText(FolderProblem problem);
