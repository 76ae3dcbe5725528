#include "core/command_line.h"

#include "base/mbcs.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Whether line starts with path, then ends or goes on with a blank; letters
// compare without ASCII case, as Windows finds files.
bool StartsWithPath(std::u16string_view line, std::u16string_view path) {
  if (path.empty() || line.size() < path.size()) return false;
  for (size_t i = 0; i < path.size(); ++i) {
    if (AsciiUpper(line[i]) != AsciiUpper(path[i])) return false;
  }
  return line.size() == path.size() || IsBlank(line[path.size()]);
}

// The arguments of a Windows command line: what follows the program's path,
// which is either quoted ("C:\a b\x.exe" ...) or ends at the first blank.
// Unquoted, a path with blanks in it ("C:\Program Files\x\kvsetup.exe",
// which CreateProcess still finds) is the program's own path, with or
// without its extension, when the command line starts with it.
std::u16string_view SkipProgramPath(std::u16string_view line, std::u16string_view modulePath) {
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i < line.size() && line[i] == u'"') {
    const size_t close = line.find(u'"', i + 1);
    return close == std::u16string_view::npos ? std::u16string_view() : line.substr(close + 1);
  }
  const std::u16string_view rest = line.substr(i);
  if (StartsWithPath(rest, modulePath)) return rest.substr(modulePath.size());
  const size_t dot = modulePath.rfind(u'.');
  if (dot != std::u16string_view::npos && modulePath.find_first_of(u"\\/", dot) == std::u16string_view::npos &&
      StartsWithPath(rest, modulePath.substr(0, dot))) {
    return rest.substr(dot);
  }
  while (i < line.size() && !IsBlank(line[i])) ++i;
  return line.substr(i);
}

// ASCII case-insensitive equality of a word's name part with an option name.
bool NameIs(std::u16string_view name, const char* option) {
  size_t i = 0;
  for (; option[i] != '\0'; ++i) {
    if (i >= name.size()) return false;
    if (AsciiUpper(name[i]) != static_cast<char16_t>(option[i])) return false;
  }
  return i == name.size();
}

}  // namespace

CommandLineOptions ParseCommandLine(std::u16string_view commandLine, std::u16string_view modulePath) {
  CommandLineOptions options;
  const std::u16string_view args = SkipProgramPath(commandLine, modulePath);
  // The arguments with every /DIR and /LOG value blanked out: where "admin"
  // is looked for.
  std::u16string outside(args);
  size_t i = 0;
  while (i < args.size()) {
    while (i < args.size() && IsBlank(args[i])) ++i;
    if (i >= args.size()) break;
    // One word: up to an unquoted blank; quotes group and are dropped.
    std::u16string word;
    size_t valueStart = std::u16string::npos;  // in args, just past the first '='
    bool quoted = false;
    for (; i < args.size() && (quoted || !IsBlank(args[i])); ++i) {
      if (args[i] == u'"') {
        quoted = !quoted;
        continue;
      }
      if (args[i] == u'=' && valueStart == std::u16string::npos) valueStart = i + 1;
      word += args[i];
    }
    if (word.empty() || word[0] != u'/') continue;
    const size_t equals = word.find(u'=');
    const std::u16string_view name = std::u16string_view(word).substr(0, equals);
    const std::u16string value = equals == std::u16string::npos ? std::u16string() : word.substr(equals + 1);
    const bool takesValue = NameIs(name, "/DIR") || NameIs(name, "/LOG");
    if (takesValue && valueStart != std::u16string::npos) {
      for (size_t k = valueStart; k < i; ++k) outside[k] = u' ';
    }
    if (NameIs(name, "/DIR")) {
      options.dirGiven = true;
      options.dir = value;
    } else if (NameIs(name, "/LOG")) {
      options.logGiven = true;
      options.log = value;
    } else if (equals == std::u16string::npos && NameIs(name, "/NODESKTOP")) {
      options.noDesktop = true;
    } else if (equals == std::u16string::npos && (NameIs(name, "/?") || NameIs(name, "/HELP"))) {
      options.help = true;
    } else {
      options.unknown.push_back(word);
    }
  }
  options.unattended = outside.find(u"admin") != std::u16string::npos;
  return options;
}

const char* HelpText() {
  return "用法：kvsetup.exe [admin] [/DIR=安装位置] [/LOG=日志文件] [/NODESKTOP] [/?]\n\n"
         "admin：无人值守安装，不显示向导\n"
         "/DIR=安装位置：安装到此文件夹（须为完整路径）\n"
         "/LOG=日志文件：把安装过程写入此文件（UTF-8，已有则追加）\n"
         "/NODESKTOP：不创建桌面图标\n"
         "/? 或 /HELP：显示本说明\n\n"
         "退出代码：\n"
         "0：安装成功，或已取消\n"
         "1：未结束正在运行的 Kelvane，未安装任何文件\n"
         "2：安装失败或无法开始\n"
         "3：另一个安装程序正在运行\n"
         "4：磁盘空间不足，未安装任何文件\n"
         "5：有文件被其他程序占用，未能替换";
}

const char* HelpTextEnglish() {
  return "usage: kvsetup.exe [admin] [/DIR=folder] [/LOG=file] [/NODESKTOP] [/?]\n"
         "  admin        install unattended, without the wizard\n"
         "  /DIR=folder  install into this folder (a complete path)\n"
         "  /LOG=file    write what the install does to this file (UTF-8, appended to)\n"
         "  /NODESKTOP   make no desktop shortcut\n"
         "  /? or /HELP  show this list\n"
         "exit status:\n"
         "  0  installed, or cancelled\n"
         "  1  the running Kelvane was not ended; nothing was installed\n"
         "  2  the install failed or could not start\n"
         "  3  another installer was running\n"
         "  4  not enough disk space; nothing was installed\n"
         "  5  files held by other programs were not replaced";
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
