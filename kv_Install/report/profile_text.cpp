#include "report/profile_text.h"

#include "base/gbk_text.h"
#include "base/mbcs.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal without case, character by character in GBK (a trail byte is never
// folded: it may look like a capital letter).
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsGbkLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (Lower(a[i]) != Lower(b[i])) {
      return false;
    }
  }
  return true;
}

// Position of the last ']' that is a character of its own, or npos.
size_t LastClosingBracket(std::string_view line) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < line.size(); ++i) {
    if (IsGbkLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) {
      ++i;
    } else if (line[i] == ']') {
      found = i;
    }
  }
  return found;
}

// Calls f(line) for each line of text (without its '\n'); stops when f
// returns false.
template <typename F>
void ForEachLine(std::string_view text, F f) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    if (!f(line) || end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

}  // namespace

std::string ProfileTextAsGbk(std::string_view bytes) {
  const bool utf8 = bytes.substr(0, 3) == "\xEF\xBB\xBF";
  const bool utf16 = !utf8 && bytes.substr(0, 2) == "\xFF\xFE";
  if (!utf8 && !utf16) return std::string(bytes);
  bytes.remove_prefix(utf8 ? 3 : 2);
  const size_t unit = utf8 ? 1 : 2;
  std::string out, line;
  std::u16string wide;
  for (;;) {
    // The line's end: '\n', or its UTF-16 code unit.
    size_t end = 0;
    while (end + unit <= bytes.size() && !(bytes[end] == '\n' && (utf8 || bytes[end + 1] == '\0'))) end += unit;
    bool converted;
    if (utf8) {
      converted = Utf8ToGbk(bytes.substr(0, end), &line);
    } else {
      wide.clear();
      for (size_t i = 0; i < end; i += 2) {
        const unsigned low = static_cast<unsigned char>(bytes[i]), high = static_cast<unsigned char>(bytes[i + 1]);
        wide += static_cast<char16_t>(low | high << 8);
      }
      converted = Utf16ToGbk(wide, &line);
    }
    if (converted) out += line;
    out += '\n';
    if (end + unit > bytes.size()) return out;
    bytes.remove_prefix(end + unit);
  }
}

bool FindProfileValue(std::string_view text, std::string_view section, std::string_view key, std::string* value) {
  section = Trim(section);
  key = Trim(key);
  // 0: before the section, 1: in it, 2: past it (only its first copy counts).
  int where = 0;
  bool found = false;
  ForEachLine(text, [&](std::string_view line) {
    line = Trim(line);
    if (line.empty()) return true;
    if (line.front() == '[') {
      const size_t close = LastClosingBracket(line);
      if (close != std::string_view::npos) {
        if (where == 1) return false;
        if (SameName(line.substr(1, close - 1), section)) where = 1;
        return true;
      }
    }
    if (where != 1) return true;
    const size_t equals = line.find('=');  // '=' is never a GBK trail byte
    if (!SameName(Trim(line.substr(0, equals)), key)) return true;
    std::string_view v = equals == std::string_view::npos ? std::string_view() : Trim(line.substr(equals + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
      v = v.substr(1, v.size() - 2);
    }
    value->assign(v);
    found = true;
    return false;
  });
  return found;
}

void CopyProfileValue(const std::string& value, char* buffer, size_t size) {
  size_t length = 0;
  while (length < value.size()) {
    const size_t step = IsGbkLeadByte(static_cast<unsigned char>(value[length])) && length + 1 < value.size() ? 2 : 1;
    if (length + step > size - 1) break;
    length += step;
  }
  value.copy(buffer, length);
  buffer[length] = '\0';
}

unsigned ProfileInt(const std::string& value, unsigned fallback) {
  if (value.empty()) return fallback;
  const char* p = value.c_str();
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  unsigned n = 0;
  for (; *p >= '0' && *p <= '9'; ++p) n = n * 10u + static_cast<unsigned>(*p - '0');
  return negative ? 0u - n : n;
}
