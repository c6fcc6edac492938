#include "render/layout.h"

#include <cstdarg>
#include <utility>

#include "base/output.h"
#include "base/run_settings.h"

std::unique_ptr<Layout> MakeLayout(const RunSettings& settings, OutputSink& sink, std::wstring node) {
  if (settings.formatJson) return MakeJsonLayout(settings, sink, std::move(node));
  if (settings.formatCsv) return MakeCsvLayout(settings, sink, std::move(node));
  return MakeListLayout(settings, sink);
}

namespace {

std::wstring FormatV(const wchar_t* format, va_list args) {
  std::wstring text;
  AppendFormatV(text, format, args);
  return text;
}

}  // namespace

void PrintLine(Layout& layout, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const std::wstring text = FormatV(format, args);
  va_end(args);
  layout.Line(text);
}

void PrintError(Layout& layout, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const std::wstring text = FormatV(format, args);
  va_end(args);
  layout.Error(text);
}

void PrintInfo(Layout& layout, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const std::wstring text = FormatV(format, args);
  va_end(args);
  layout.Info(text);
}

int ReportFailure(Layout& layout, const wchar_t* format, HRESULT hr) {
  PrintError(layout, format, static_cast<unsigned>(hr));
  return 1;
}
