// What the command line asks for. Plain C++ over the UTF-16 command line, so
// that a folder named in any script reaches the folder rules as typed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The options, anywhere after the program's path, each a word of its own:
// /DIR=folder, /LOG=file, /NODESKTOP, /? and /HELP, case-insensitive; a value
// may be quoted ("/DIR="D:\My Apps\Kelvane"", or quotes around the whole
// word). Quotes only group: a backslash is always itself, so a folder may end
// in one ("D:\Apps\"). Given twice, the last counts. Any other word that
// starts with '/' is passed over.
struct CommandLineOptions {
  // "admin" selects the unattended run wherever it stands outside a /DIR or
  // /LOG value: case-sensitive, in any argument (-xadminx too), never in the
  // program's own path.
  bool unattended = false;
  bool dirGiven = false;
  std::u16string dir;  // as given; "/DIR" or "/DIR=" gives an empty one
  bool logGiven = false;
  std::u16string log;
  bool noDesktop = false;
  bool help = false;
  std::vector<std::u16string> unknown;  // the other '/' words, as written
};

// modulePath: the program's file as the system names it (GetModuleFileNameW):
// a command line that starts with it unquoted, blanks and all, has its
// arguments after it, not after the path's first blank.
CommandLineOptions ParseCommandLine(std::u16string_view commandLine, std::u16string_view modulePath = {});

// The options and the exit statuses, as /? shows them: in the wizard's words
// (GBK) and in English for standard error (ASCII, lines joined by "\n").
const char* HelpText();
const char* HelpTextEnglish();

// The application's name as message boxes show it: the file name of the
// program's path without its extension ("C:\x\kvsetup.exe" gives "kvsetup").
// Separators are found character by character in code page 936.
std::string ProgramTitle(const std::string& modulePath);
