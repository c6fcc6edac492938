#include "support/json_lines.h"

#include <gtest/gtest.h>
#include <windows.h>

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int wide = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::vector<nlohmann::ordered_json> ParseJsonLines(const std::wstring& output) { return ParseJsonLines(Utf8(output)); }

std::vector<nlohmann::ordered_json> ParseJsonLines(const std::string& output) {
  std::vector<nlohmann::ordered_json> lines;
  size_t start = 0;
  while (start < output.size()) {
    const size_t end = output.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "the output does not end with CR LF: " << output.substr(start);
      break;
    }
    const std::string line = output.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "a stray line end in: " << line;
    nlohmann::ordered_json parsed = nlohmann::ordered_json::parse(line, nullptr, false);
    EXPECT_TRUE(parsed.is_object()) << "not one JSON object: " << line;
    lines.push_back(std::move(parsed));
    start = end + 2;
  }
  return lines;
}
