#include "core/folder_rules.h"

#include "archive/zip_name_rules.h"
#include "base/gbk_text.h"
#include "base/path_names.h"

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

namespace {

constexpr size_t kPathLimit = 260;  // MAX_PATH, NUL included

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "X:" alone (the stored form of "X:\") or "X:" followed by a separator.
bool IsDrivePath(const std::string& s) {
  return s.size() >= 2 && IsDriveLetter(s[0]) && s[1] == ':' && (s.size() == 2 || IsSeparator(s[2]));
}

// "\\server\share[...]" with both names present. The "\\.\" and "\\?\"
// prefixes name devices and raw paths, not a share: never a folder to install in.
bool IsSharePath(const std::string& s) {
  if (s.size() < 5 || s[0] != '\\' || s[1] != '\\') return false;
  const size_t serverEnd = s.find('\\', 2);
  if (serverEnd == std::string::npos || serverEnd == 2) return false;
  const std::string server = s.substr(2, serverEnd - 2);
  if (server == "." || server == "?") return false;
  const size_t shareEnd = s.find('\\', serverEnd + 1);
  return (shareEnd == std::string::npos ? s.size() : shareEnd) > serverEnd + 1;
}

}  // namespace

FolderProblem CheckInstallFolder(const std::string& folder, size_t longestEntryName) {
  if (folder.find_first_not_of(" \t\r\n\v\f\\/") == std::string::npos) return FolderProblem::Empty;
  if (!IsDrivePath(folder) && !IsSharePath(folder)) return FolderProblem::NotFullPath;
  // The archive's own name rules: every entry below such a folder would fail.
  if (UnsafePathReason(folder.c_str()) != nullptr) return FolderProblem::BadName;
  if (folder.size() + 1 + longestEntryName >= kPathLimit) return FolderProblem::TooLong;
  return FolderProblem::None;
}

FolderProblem CheckFolderBoxText(std::u16string_view boxText, size_t longestEntryName, std::string* folder) {
  std::string gbk;
  if (!Utf16ToGbk(boxText, &gbk)) {
    folder->clear();
    return FolderProblem::NotGbk;
  }
  *folder = FolderFromEditText(gbk);
  return CheckInstallFolder(*folder, longestEntryName);
}

const char* FolderProblemText(FolderProblem problem) {
  switch (problem) {
    case FolderProblem::None:
      return "";
    case FolderProblem::Empty:
      return "请选择安装位置";
    case FolderProblem::NotFullPath:
      return "安装位置必须是完整路径，例如 C:\\Program Files\\Kelvane";
    case FolderProblem::BadName:
      return "安装位置含有系统保留的名称或冒号，请选择其他路径";
    case FolderProblem::TooLong:
      return "安装位置太长，请选择较短的路径";
    case FolderProblem::NotGbk:
      return "安装位置含有无法使用的文字，请选择其他路径";
  }
  return "";
}
