#include "core/command_line.h"

#include "base/mbcs.h"

const char* SkipProgramPath(const char* commandLine) {
  if (commandLine == nullptr) return "";
  const char* p = commandLine;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '"') {
    // The path runs to the closing quote (or to the end of a broken line).
    p = MbcsNext(p);
    while (*p != '\0' && *p != '"') p = MbcsNext(p);
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') p = MbcsNext(p);
  }
  return p;
}

bool IsUnattendedCommandLine(const char* commandLine) {
  return MbcsFind(SkipProgramPath(commandLine), "admin") != nullptr;
}

std::string ProgramTitle(const std::string& modulePath) {
  const char* path = modulePath.c_str();
  const char* name = path;
  for (const char* p = path; *p != '\0'; p = MbcsNext(p)) {
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  }
  const char* dot = MbcsFindLast(name, '.');
  return dot != nullptr && dot != name ? std::string(name, dot) : std::string(name);
}
