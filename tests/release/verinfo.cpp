// verinfo FILE
// Prints the version resource of FILE as Windows hands it to the file's
// properties, one "key=value" line each:
//   file=, product=  the fixed numbers, a.b.c.d
//   translation=     language and code page of the first translation, 8 hex digits
//   and each string of that translation's block by its name.
// Exit status 0 when FILE has version information, 1 when it has none,
// 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

void PrintNumbers(const char* key, DWORD ms, DWORD ls) {
  std::printf("%s=%u.%u.%u.%u\n", key, HIWORD(ms), LOWORD(ms), HIWORD(ls), LOWORD(ls));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: verinfo FILE\n");
    return 2;
  }
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(argv[1], &ignored);
  if (size == 0) return 1;
  std::vector<char> block(size);
  if (!::GetFileVersionInfoA(argv[1], 0, size, block.data())) return 1;

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && length >= sizeof *fixed) {
    PrintNumbers("file", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    PrintNumbers("product", fixed->dwProductVersionMS, fixed->dwProductVersionLS);
  }
  WORD* translation = nullptr;
  if (!::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < 2 * sizeof(WORD)) {
    return 0;
  }
  char name[16];
  std::snprintf(name, sizeof name, "%04x%04x", translation[0], translation[1]);
  std::printf("translation=%s\n", name);
  const char* const keys[] = {"CompanyName",      "FileDescription", "FileVersion",   "InternalName",
                              "OriginalFilename", "ProductName",     "ProductVersion"};
  for (const char* key : keys) {
    char path[96];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%s\\%s", name, key);
    char* value = nullptr;
    if (::VerQueryValueA(block.data(), path, reinterpret_cast<void**>(&value), &length)) {
      std::printf("%s=%s\n", key, value);
    }
  }
  return 0;
}
