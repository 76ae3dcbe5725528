#include "core/folder_rules.h"

#include "core/mbcs.h"

const char kProductName[] = "Kelvane";

namespace {

// Removes trailing characters c, stepping through GBK characters: a
// double-byte character whose trail byte happens to equal c stays whole.
void TrimTrailing(std::string& s, char c) {
  // Start of the last run of c that stands on character boundaries.
  size_t keep = 0;
  for (const char* p = s.c_str(); *p != '\0'; p = MbcsNext(p)) {
    if (*p != c) keep = static_cast<size_t>(MbcsNext(p) - s.c_str());
  }
  s.resize(keep);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::string DefaultInstallFolder(const std::string& programFiles) {
  return programFiles + "\\" + kProductName + "\\";
}

std::string FolderFromBrowser(const std::string& chosen) {
  std::string s = chosen;
  TrimTrailing(s, '\\');
  TrimTrailing(s, '/');
  return s + "\\" + kProductName + "\\";
}

std::string TrimTrailingBackslashes(const std::string& folder) {
  std::string s = folder;
  TrimTrailing(s, '\\');
  return s;
}

std::string FolderFromEditText(const std::string& text) {
  std::string s = text;
  while (!s.empty() && IsBlank(s.back())) s.pop_back();
  return TrimTrailingBackslashes(s);
}
