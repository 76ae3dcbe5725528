#include "core/folder_rules.h"

const char kProductName[] = "Kelvane";

namespace {

void TrimTrailing(std::string& s, char c) {
  while (!s.empty() && s.back() == c) s.pop_back();
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
