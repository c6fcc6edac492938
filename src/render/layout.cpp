#include "render/layout.h"

#include <cstdarg>
#include <utility>

#include "base/output.h"
#include "base/run_settings.h"

std::unique_ptr<Layout> MakeLayout(const RunSettings& settings, OutputSink& sink) {
  if (settings.formatJson) return MakeJsonLayout(settings, sink, L"LOCALHOST", false);
  if (settings.formatCsv) return MakeCsvLayout(settings, sink, L"LOCALHOST", false);
  return MakeListLayout(settings, sink, L"");
}

std::unique_ptr<Layout> MakeMachineLayout(const RunSettings& settings, OutputSink& sink, const std::wstring& node) {
  if (settings.formatJson) return MakeJsonLayout(settings, sink, node, true);
  if (settings.formatCsv) return MakeCsvLayout(settings, sink, node, true);
  return MakeListLayout(settings, sink, node);
}

std::wstring Layout::ReadOnlyNote(const Preview& preview) {
  std::wstring note;
  for (const std::wstring& name : preview.readOnly) {
    if (!note.empty()) note += L"; ";
    note += name + L" is read-only on Windows: the write will likely be refused";
  }
  return note;
}

namespace {

void PrintThrough(Layout& layout, void (Layout::*write)(std::wstring_view), const wchar_t* format, va_list args) {
  std::wstring text;
  AppendFormatV(text, format, args);
  (layout.*write)(text);
}

}  // namespace

void PrintLine(Layout& layout, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  PrintThrough(layout, &Layout::Line, format, args);
  va_end(args);
}

void PrintError(Layout& layout, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  PrintThrough(layout, &Layout::Error, format, args);
  va_end(args);
}

void PrintInfo(Layout& layout, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  PrintThrough(layout, &Layout::Info, format, args);
  va_end(args);
}

int ReportFailure(Layout& layout, const wchar_t* format, HRESULT hr) {
  PrintError(layout, format, static_cast<unsigned>(hr));
  return 1;
}
