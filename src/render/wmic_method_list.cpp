#include "render/wmic_method_list.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "render/class_schema.h"

namespace {

constexpr std::wstring_view kCallHeader = L"Call";
constexpr std::wstring_view kParametersHeader = L"[ In/Out ]Params&type";
constexpr std::wstring_view kStatusHeader = L"Status";
constexpr size_t kColumnGap = 2;

// Every method returns ReturnValue; naming it each time tells nothing.
constexpr std::wstring_view kReturnValue = L"ReturnValue";

struct Row {
  std::wstring call;
  std::wstring parameter;
  std::wstring status;
};

void AppendCell(std::wstring& line, std::wstring_view text, size_t width) {
  line += text;
  line.append(width - text.size(), L' ');
}

}  // namespace

std::wstring WmicMethodListText(const ClassSchema& schema) {
  std::vector<Row> rows;
  for (const SchemaMethod& method : schema.methods) {
    const size_t first = rows.size();
    for (const SchemaParameter& in : method.in) rows.push_back({{}, L"[IN ]" + in.name + L'(' + in.type + L')', {}});
    for (const SchemaParameter& out : method.out) {
      if (out.name != kReturnValue) rows.push_back({{}, L"[OUT]" + out.name + L'(' + out.type + L')', {}});
    }
    if (rows.size() == first) rows.emplace_back();
    rows[first].call = method.name;
    rows[first].status = method.isStatic ? L"Static" : L"";
  }
  size_t callWidth = kCallHeader.size();
  size_t parameterWidth = kParametersHeader.size();
  for (const Row& row : rows) {
    callWidth = std::max(callWidth, row.call.size());
    parameterWidth = std::max(parameterWidth, row.parameter.size());
  }
  callWidth += kColumnGap;
  parameterWidth += kColumnGap;

  std::wstring text = L"Methods of " + schema.className +
                      L"; values given by position fill the [IN ] parameters in this order.\r\n\r\n";
  const auto addLine = [&](std::wstring_view call, std::wstring_view parameter, std::wstring_view status) {
    std::wstring line;
    AppendCell(line, call, callWidth);
    AppendCell(line, parameter, parameterWidth);
    line += status;
    line.erase(line.find_last_not_of(L' ') + 1);
    text += line + L"\r\n";
  };
  addLine(kCallHeader, kParametersHeader, kStatusHeader);
  addLine(std::wstring(kCallHeader.size(), L'='), std::wstring(kParametersHeader.size(), L'='),
          std::wstring(kStatusHeader.size(), L'='));
  for (const Row& row : rows) addLine(row.call, row.parameter, row.status);
  text += L"\r\n";
  return text;
}
