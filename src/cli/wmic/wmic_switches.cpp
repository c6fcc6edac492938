#include "cli/wmic/wmic_switches.h"

#include <string>

#include "cli/wmic/wmic_choices.h"
#include "cli/wmic/wmic_names.h"
#include "cli/wmic/wmic_problems.h"

namespace {

WmicProblem Fine() { return {}; }
WmicProblem BadGlobal() { return MakeWmicProblem(WmicProblemKind::InvalidGlobalSwitch); }
WmicProblem Refused(std::wstring_view message) { return MakeWmicProblem(WmicProblemKind::NotSupported, message); }

template <typename Value>
struct Named {
  std::wstring_view name;
  Value value;
};

template <typename Value, size_t N>
bool FindNamed(const Named<Value> (&table)[N], std::wstring_view name, Value& value) {
  for (const Named<Value>& row : table) {
    if (!SameName(row.name, name)) continue;
    value = row.value;
    return true;
  }
  return false;
}

const Named<WmicOnOff> kOnOff[] = {{L"on", WmicOnOff::On}, {L"off", WmicOnOff::Off}};
const Named<WmicOnOff> kEnableDisable[] = {{L"enable", WmicOnOff::On}, {L"disable", WmicOnOff::Off}};
const Named<WmicImpersonation> kImpersonations[] = {
    {L"anonymous", WmicImpersonation::Anonymous},
    {L"identify", WmicImpersonation::Identify},
    {L"impersonate", WmicImpersonation::Impersonate},
    {L"delegate", WmicImpersonation::Delegate},
};
const Named<WmicAuthentication> kAuthentications[] = {
    {L"default", WmicAuthentication::Default},
    {L"none", WmicAuthentication::None},
    {L"connect", WmicAuthentication::Connect},
    {L"call", WmicAuthentication::Call},
    {L"pkt", WmicAuthentication::Packet},
    {L"pktintegrity", WmicAuthentication::PacketIntegrity},
    {L"pktprivacy", WmicAuthentication::PacketPrivacy},
};

// The named formats; a stylesheet path stands for the one of its base name.
const Named<WmicFormat> kFormats[] = {
    {L"table", WmicFormat::Table},   {L"list", WmicFormat::List}, {L"textvaluelist", WmicFormat::List},
    {L"value", WmicFormat::List},    {L"csv", WmicFormat::Csv},   {L"json", WmicFormat::Json},
    {L"rawxml", WmicFormat::RawXml}, {L"xml", WmicFormat::Xml},
};

WmicProblem SetOnOff(std::wstring_view value, WmicOnOff& field) {
  return FindNamed(kOnOff, value, field) ? Fine() : BadGlobal();
}

WmicProblem SetText(std::wstring_view value, std::wstring& field) {
  if (value.empty()) return BadGlobal();
  field.assign(value);
  return Fine();
}

WmicProblem SetDestination(std::wstring_view value, bool append, WmicDestination& destination) {
  if (value.empty()) return BadGlobal();
  if (SameName(value, L"CLIPBOARD")) {
    return Refused(append ? L"/append:CLIPBOARD is not supported." : L"/output:CLIPBOARD is not supported.");
  }
  destination.append = append;
  destination.toFile = !SameName(value, L"STDOUT");
  destination.path.assign(destination.toFile ? value : std::wstring_view{});
  return Fine();
}

// A time or a count: at least 1, in at most nine digits (any time a person
// would wait, and no overflow).
bool ReadCount(std::wstring_view value, unsigned& count) {
  if (value.empty() || value.size() > 9) return false;
  count = 0;
  for (const wchar_t c : value) {
    if (c < L'0' || c > L'9') return false;
    count = count * 10 + static_cast<unsigned>(c - L'0');
  }
  return count != 0;
}

WmicProblem SetFailFast(std::wstring_view value, WmicGlobals& globals) {
  globals.failFastGiven = true;
  if (FindNamed(kOnOff, value, globals.failFast)) {
    globals.failFastMilliseconds = 0;
    return Fine();
  }
  unsigned milliseconds = 0;
  if (!ReadCount(value, milliseconds)) return BadGlobal();
  globals.failFast = WmicOnOff::On;
  globals.failFastMilliseconds = milliseconds;
  return Fine();
}

struct GlobalSwitch {
  std::wstring_view name;
  WmicProblem (*apply)(std::wstring_view value, WmicGlobals& globals);
};

const GlobalSwitch kGlobalSwitches[] = {
    {L"namespace",
     [](std::wstring_view value, WmicGlobals& g) {
       std::wstring resolved = ResolveNamespace(value);
       if (resolved.empty()) return BadGlobal();
       g.namespaceGiven = true;
       g.nameSpace = std::move(resolved);
       return Fine();
     }},
    {L"role",
     [](std::wstring_view value, WmicGlobals&) {
       return SameName(ResolveNamespace(value), L"root\\cli") ? Fine()
                                                              : Refused(L"/role: other than \\\\root\\cli is not supported.");
     }},
    {L"node",
     [](std::wstring_view value, WmicGlobals& g) {
       g.nodeGiven = true;
       return SetText(value, g.nodes);
     }},
    {L"user",
     [](std::wstring_view value, WmicGlobals& g) {
       g.userGiven = true;
       return SetText(value, g.user);
     }},
    {L"password",
     [](std::wstring_view value, WmicGlobals& g) {
       // An empty password is a password.
       g.passwordGiven = true;
       g.password.assign(value);
       return Fine();
     }},
    {L"output", [](std::wstring_view value, WmicGlobals& g) { return SetDestination(value, false, g.destination); }},
    {L"append", [](std::wstring_view value, WmicGlobals& g) { return SetDestination(value, true, g.destination); }},
    {L"locale", [](std::wstring_view value, WmicGlobals& g) { return SetText(value, g.locale); }},
    {L"failfast", [](std::wstring_view value, WmicGlobals& g) { return SetFailFast(value, g); }},
    {L"implevel",
     [](std::wstring_view value, WmicGlobals& g) {
       return FindNamed(kImpersonations, value, g.impersonation) ? Fine() : BadGlobal();
     }},
    {L"authlevel",
     [](std::wstring_view value, WmicGlobals& g) {
       return FindNamed(kAuthentications, value, g.authentication) ? Fine() : BadGlobal();
     }},
    {L"privileges",
     [](std::wstring_view value, WmicGlobals& g) {
       return FindNamed(kEnableDisable, value, g.privileges) ? Fine() : BadGlobal();
     }},
    {L"trace", [](std::wstring_view value, WmicGlobals& g) { return SetOnOff(value, g.trace); }},
    {L"interactive",
     [](std::wstring_view value, WmicGlobals& g) {
       g.interactiveGiven = true;
       return SetOnOff(value, g.interactive);
     }},
    {L"aggregate", [](std::wstring_view value, WmicGlobals& g) { return SetOnOff(value, g.aggregate); }},
    {L"record", [](std::wstring_view, WmicGlobals&) { return Refused(L"/record: is not supported."); }},
    {L"authority", [](std::wstring_view, WmicGlobals&) { return Refused(L"/authority: is not supported."); }},
};

// /every: and /repeat:.
WmicProblem SetCount(std::wstring_view value, unsigned& field) {
  return ReadCount(value, field) ? Fine() : MakeWmicProblem(WmicProblemKind::InvalidVerbSwitch);
}

struct VerbSwitch {
  std::wstring_view name;
  bool takesValue;
  WmicProblem (*apply)(std::wstring_view value, WmicVerbSwitches& switches);
};

WmicProblem SetFormat(std::wstring_view value, WmicVerbSwitches& switches) {
  const WmicProblem badFormat = MakeWmicProblem(WmicProblemKind::InvalidXslFormat);
  // A stylesheet is never fetched: a URL is no name of a format.
  if (value.find(L"://") != std::wstring_view::npos) return badFormat;
  const size_t slash = value.find_last_of(L"\\/");
  std::wstring_view base = slash == std::wstring_view::npos ? value : value.substr(slash + 1);
  if (base.size() > 4 && SameName(base.substr(base.size() - 4), L".xsl")) base.remove_suffix(4);
  return FindNamed(kFormats, base, switches.format) ? Fine() : badFormat;
}

const VerbSwitch kVerbSwitches[] = {
    {L"value", false,
     [](std::wstring_view, WmicVerbSwitches& s) {
       s.format = WmicFormat::List;
       return Fine();
     }},
    {L"all", false,
     [](std::wstring_view, WmicVerbSwitches& s) {
       s.format = WmicFormat::Table;
       return Fine();
     }},
    {L"nointeractive", false,
     [](std::wstring_view, WmicVerbSwitches& s) {
       s.noInteractive = true;
       return Fine();
     }},
    {L"format", true, SetFormat},
    {L"translate", true, [](std::wstring_view, WmicVerbSwitches&) { return Refused(L"/translate: is not supported."); }},
    {L"every", true, [](std::wstring_view value, WmicVerbSwitches& s) { return SetCount(value, s.everySeconds); }},
    {L"repeat", true, [](std::wstring_view value, WmicVerbSwitches& s) { return SetCount(value, s.repeatCount); }},
};

}  // namespace

WmicSwitch SplitSwitch(std::wstring_view text) {
  WmicSwitch given;
  if (!text.empty() && text.front() == L'/') text.remove_prefix(1);
  const size_t colon = text.find(L':');
  given.name = text.substr(0, colon);
  given.hasColon = colon != std::wstring_view::npos;
  if (given.hasColon) given.value = text.substr(colon + 1);
  return given;
}

bool GlobalSwitchTakesValue(std::wstring_view name) {
  for (const GlobalSwitch& row : kGlobalSwitches) {
    if (SameName(row.name, name)) return true;
  }
  return false;
}

bool VerbSwitchTakesValue(std::wstring_view name) {
  for (const VerbSwitch& row : kVerbSwitches) {
    if (SameName(row.name, name)) return row.takesValue;
  }
  return false;
}

WmicProblem ApplyGlobalSwitch(const WmicSwitch& given, WmicGlobals& globals) {
  for (const GlobalSwitch& row : kGlobalSwitches) {
    if (!SameName(row.name, given.name)) continue;
    if (!given.hasColon) return BadGlobal();
    return row.apply(given.value, globals);
  }
  return BadGlobal();
}

WmicProblem ApplyVerbSwitch(const WmicSwitch& given, WmicVerbSwitches& switches) {
  for (const VerbSwitch& row : kVerbSwitches) {
    if (!SameName(row.name, given.name)) continue;
    if (row.takesValue != given.hasColon) {
      return MakeWmicProblem(row.takesValue && SameName(row.name, L"format") ? WmicProblemKind::InvalidXslFormat
                                                                              : WmicProblemKind::InvalidVerbSwitch);
    }
    return row.apply(given.value, switches);
  }
  return MakeWmicProblem(WmicProblemKind::InvalidVerbSwitch);
}

std::wstring ResolveNamespace(std::wstring_view typed) {
  std::wstring joined;
  if (typed.empty()) return joined;
  const bool absolute = typed.front() == L'\\';
  if (!absolute) joined.assign(wmic_choices::kRelativeNamespaceBase).append(L"\\");
  joined.append(typed);
  // "\\\\root\\wmi" copied from a C string is still root\wmi: a namespace has
  // no empty parts.
  std::wstring resolved;
  for (const wchar_t c : joined) {
    if (c == L'\\' && (resolved.empty() || resolved.back() == L'\\')) continue;
    resolved += c;
  }
  while (!resolved.empty() && resolved.back() == L'\\') resolved.pop_back();
  // \\.\root\cimv2 names this machine, which is where it connects anyway.
  if (absolute && resolved.size() > 2 && resolved[0] == L'.' && resolved[1] == L'\\') resolved.erase(0, 2);
  return resolved;
}
