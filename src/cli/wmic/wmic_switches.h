// wmic's switches: the global ones before the target, and those after a verb.
#pragma once

#include <string_view>

#include "cli/wmic/wmic_request.h"

// A switch word split: "/node:pc1" is name "node", value "pc1". `hasColon`
// tells "/trace" from "/trace:".
struct WmicSwitch {
  std::wstring_view name;
  std::wstring_view value;
  bool hasColon = false;
};

WmicSwitch SplitSwitch(std::wstring_view text);

// Whether the switch takes a value, so that one typed after a space
// (`/node: "pc1"`) is read as its value.
bool GlobalSwitchTakesValue(std::wstring_view name);
bool VerbSwitchTakesValue(std::wstring_view name);

// Each records the switch, or returns why it cannot.
WmicProblem ApplyGlobalSwitch(const WmicSwitch& given, WmicGlobals& globals);
WmicProblem ApplyVerbSwitch(const WmicSwitch& given, WmicVerbSwitches& switches);

// "\\root\cimv2" (absolute) or "cimv2" (below root\cimv2), as connected to:
// no leading backslashes, no doubled ones. Empty when nothing names a
// namespace.
std::wstring ResolveNamespace(std::wstring_view typed);
