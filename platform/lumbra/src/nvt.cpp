// Name-value tables and their 1NVT text.
#include <algorithm>

#include "bytes.h"
#include "lumbra/lumbra.h"

namespace {

using lumbra_detail::IsBlank;
using lumbra_detail::Trim;

void CheckName(std::string_view name) {
  if (name.empty()) throw SDIFAsciiChunkError("name-value table: empty name");
  for (const char c : name) {
    if (IsBlank(c) || c == '\0') {
      throw SDIFAsciiChunkError("name-value table: name \"" + std::string(name) +
                                "\" holds a blank, a line end or a zero byte");
    }
  }
  if (!lumbra_detail::IsValidUtf8(name)) {
    throw SDIFAsciiChunkError("name-value table: name is not valid UTF-8");
  }
}

void CheckValue(std::string_view name, std::string_view value) {
  if (value.find('\n') != std::string_view::npos || value.find('\0') != std::string_view::npos) {
    throw SDIFAsciiChunkError("name-value table: value of \"" + std::string(name) +
                              "\" holds a line end or a zero byte");
  }
  if (!lumbra_detail::IsValidUtf8(value)) {
    throw SDIFAsciiChunkError("name-value table: value of \"" + std::string(name) +
                              "\" is not valid UTF-8");
  }
}

}  // namespace

void SDIFNameValueTable::AddNameValue(const std::string& name, const std::string& value) {
  CheckName(name);
  CheckValue(name, value);
  for (auto& [n, v] : entries_) {
    if (n == name) {
      v = value;
      return;
    }
  }
  entries_.emplace_back(name, value);
}

std::string SDIFNameValueTable::GetValue(const std::string& name) const {
  for (const auto& [n, v] : entries_) {
    if (n == name) return v;
  }
  return {};
}

bool SDIFNameValueTable::HasName(const std::string& name) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const auto& e) { return e.first == name; });
}

std::string SDIFNameValueTable::ToText() const {
  std::string text;
  for (const auto& [n, v] : entries_) {
    text += n;
    text += '\t';
    text += v;
    text += '\n';
  }
  return text;
}

SDIFNameValueTable SDIFNameValueTable::FromText(std::string_view text) {
  text = lumbra_detail::HeaderText(text, "name-value table");
  SDIFNameValueTable table;
  auto add = [&](std::string_view name, std::string_view value) {
    CheckName(name);
    CheckValue(name, value);
    if (table.HasName(std::string(name))) {
      throw SDIFAsciiChunkError("name-value table: name \"" + std::string(name) + "\" given twice");
    }
    table.entries_.emplace_back(std::string(name), std::string(value));
  };

  // Bare lines are taken as they are (a value may end in blanks); braces may be surrounded by
  // blanks.
  std::string_view body = text;
  const std::string_view trimmed = Trim(text);
  const bool braced = !trimmed.empty() && trimmed.front() == '{';
  if (braced) {
    if (trimmed.back() != '}') throw SDIFAsciiChunkError("name-value table: '{' without '}'");
    body = trimmed.substr(1, trimmed.size() - 2);
  }

  if (braced && body.find('\t') == std::string_view::npos) {
    // "{ name value; name value; }": any blanks between name and value.
    std::size_t pos = 0;
    while (pos < body.size()) {
      const std::size_t semi = body.find(';', pos);
      const std::string_view item = Trim(
          body.substr(pos, semi == std::string_view::npos ? std::string_view::npos : semi - pos));
      if (semi == std::string_view::npos && !item.empty()) {
        throw SDIFAsciiChunkError("name-value table: entry \"" + std::string(item) +
                                  "\" without its ';'");
      }
      if (!item.empty()) {
        std::size_t k = 0;
        while (k < item.size() && !IsBlank(item[k])) ++k;
        add(item.substr(0, k), Trim(item.substr(k)));
      }
      if (semi == std::string_view::npos) break;
      pos = semi + 1;
    }
    return table;
  }

  // Lines "name<TAB>value".
  std::size_t pos = 0;
  while (pos <= body.size()) {
    const std::size_t end = body.find('\n', pos);
    std::string_view line =
        body.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (braced) {
      while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    }
    if (!line.empty()) {
      const std::size_t tab = line.find('\t');
      if (tab == std::string_view::npos) {
        throw SDIFAsciiChunkError("name-value table: line \"" + std::string(line) +
                                  "\" has no TAB between name and value");
      }
      std::string_view value = line.substr(tab + 1);
      if (braced && !value.empty() && value.back() == ';') value.remove_suffix(1);
      add(line.substr(0, tab), value);
    }
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return table;
}
