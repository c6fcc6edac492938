// Runs Tollix in-process against a WmiAccess and captures what it prints.
#pragma once

#include <string>
#include <vector>

class WmiAccess;

struct RunResult {
  int exitCode = -1;
  std::wstring output;
};

// `arguments` follow the program path, as on a command line.
RunResult RunTollix(WmiAccess& wmi, const std::vector<std::wstring>& arguments);

// The banner as this test program prints it (it carries no version resource).
std::wstring Banner();

// Captures everything printed while `body` runs.
template <class Body>
std::wstring CaptureOf(Body body);

// Implementation detail of CaptureOf.
void BeginCapture(std::wstring* sink);
void EndCapture();

template <class Body>
std::wstring CaptureOf(Body body) {
  std::wstring text;
  BeginCapture(&text);
  body();
  EndCapture();
  return text;
}
