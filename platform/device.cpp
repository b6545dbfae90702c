#include "platform/device.h"

#include <algorithm>

namespace cordavex::platform {

Status CheckFilePath(std::string_view path, std::string* normalised) {
  if (!path.empty() && path.back() == '/') path.remove_suffix(1);
  if (path.empty()) {
    normalised->clear();
    return Status::Ok();
  }
  if (path.find('\0') != std::string_view::npos) {
    return Status::InvalidArgument("file path holds a NUL character");
  }
  if (path.front() == '/') {
    return Status::InvalidArgument("file path must be relative to the device root: " +
                                   std::string(path));
  }
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view segment = path.substr(start, end - start);
    if (segment.empty() || segment == "." || segment == "..") {
      return Status::InvalidArgument("file path leaves the device or has an empty part: " +
                                     std::string(path));
    }
    start = end + 1;
  }
  normalised->assign(path);
  return Status::Ok();
}

Status CheckKeyPath(std::u16string_view key, std::u16string* normalised) {
  if (!key.empty() && key.front() == u'\\') key.remove_prefix(1);
  if (!key.empty() && key.back() == u'\\') key.remove_suffix(1);
  if (key.find(u'\0') != std::u16string_view::npos) {
    return Status::InvalidArgument("registry key path holds a NUL character");
  }
  if (key.find(u"\\\\") != std::u16string_view::npos ||
      (!key.empty() && (key.front() == u'\\' || key.back() == u'\\'))) {
    return Status::InvalidArgument("registry key path has an empty part: " + Utf8(key));
  }
  normalised->assign(key);
  return Status::Ok();
}

char16_t FoldCase(char16_t c) {
  // Upper case, as the registry compares names. Basic Latin, Latin-1 (without
  // the multiplication sign), Greek and Cyrillic capitals.
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
}

std::u16string FoldCase(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) c = FoldCase(c);
  return folded;
}

bool LessFolded(std::u16string_view a, std::u16string_view b) {
  const std::u16string fa = FoldCase(a), fb = FoldCase(b);
  if (fa != fb) return fa < fb;
  return a < b;
}

const char* RootName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kCurrentUser: return "HKEY_CURRENT_USER";
    case RegistryRoot::kLocalMachine: return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::kClassesRoot: return "HKEY_CLASSES_ROOT";
  }
  return "HKEY_?";
}

std::string Utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | c >> 12));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | c >> 18));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u16string Utf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    uint32_t c = extra == 0 ? lead : extra == 1 ? (lead & 0x1F) : extra == 2 ? (lead & 0x0F) : (lead & 0x07);
    bool valid = extra >= 0 && i + static_cast<size_t>(extra) < utf8.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) valid = false;
      c = c << 6 | (next & 0x3F);
    }
    if (!valid || c > 0x10FFFF) {
      out.push_back(u'\xFFFD');
      ++i;
      continue;
    }
    i += static_cast<size_t>(extra) + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

}  // namespace cordavex::platform
