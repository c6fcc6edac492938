#include "cli/scan_arguments.h"

#include <windows.h>

#include <iterator>
#include <string>

#include "base/text.h"
#include "cli/usage.h"

namespace {

struct ValuedKey {
  const wchar_t* key;
  bool keepsCase;  // value taken from the argument itself, not its lower-cased copy
  std::wstring RunSettings::*field;
  int RunSettings::*given = nullptr;  // for keys whose empty value is a value
};

// Order matters: within one argument "/call:" is tested after "/set:", so CALL
// wins when both appear.
const ValuedKey kValuedKeys[] = {
    {L"/namespace:", false, &RunSettings::argNamespace},
    {L"/wql:", false, &RunSettings::argWQL},
    {L"/set:", true, &RunSettings::argKey},
    {L"/call:", true, &RunSettings::argMethodName},
    {L"/args:", true, &RunSettings::argArguments},
    {L"/node:", true, &RunSettings::argNode, &RunSettings::nodeGiven},
    {L"/user:", true, &RunSettings::argUser, &RunSettings::userGiven},
    {L"/password:", true, &RunSettings::argPassword, &RunSettings::passwordGiven},
    {L"/throttle:", false, &RunSettings::argThrottle, &RunSettings::throttleGiven},
    {L"/timeout:", false, &RunSettings::argTimeout, &RunSettings::timeoutGiven},
    {L"/params:", true, &RunSettings::argParams, &RunSettings::paramsGiven},
    {L"/class:", true, &RunSettings::argClass, &RunSettings::classGiven},
    {L"/count:", false, &RunSettings::argCount, &RunSettings::countGiven},
};

constexpr wchar_t kPasswordKey[] = L"/password:";

// JSON may well hold "/c", "/?" or "/set:" in a string: an argument that
// starts with this key is its value alone.
constexpr wchar_t kParamsKey[] = L"/params:";

struct FlagKey {
  const wchar_t* key;
  int RunSettings::*flag;
};

const FlagKey kFlagKeys[] = {
    {L"/debugdisplay", &RunSettings::debugDisplay},
    {L"/showallproperties", &RunSettings::showAllProperties},
    {L"/hexmatrix", &RunSettings::hexMatrix},
    {L"/format:csv", &RunSettings::formatCsv},
    {L"/format:json", &RunSettings::formatJson},
    {L"/describe", &RunSettings::describe},
    {L"/whatif", &RunSettings::whatIf},
    {L"/watch", &RunSettings::watch},
};

bool AsksForHelp(const std::wstring& lowered) {
  return lowered.find(L"-help") != std::wstring::npos || lowered.find(L"/help") != std::wstring::npos ||
         lowered.find(L"/?") != std::wstring::npos;
}

void TakeValues(const std::wstring& argument, const std::wstring& lowered, RunSettings& settings) {
  for (const ValuedKey& valued : kValuedKeys) {
    const std::wstring key = valued.key;
    const size_t at = lowered.find(key);
    if (at == std::wstring::npos) continue;
    const size_t valueStart = at + key.size();
    std::wstring value = (valued.keepsCase ? argument : lowered).substr(valueStart);
    TrimSpaces(value);
    settings.*valued.field = std::move(value);
    if (valued.given) settings.*valued.given = 1;
    if (valued.field == &RunSettings::argKey) settings.argFUNC = Operation::SET;
    if (valued.field == &RunSettings::argMethodName) settings.argFUNC = Operation::CALL;
  }
}

}  // namespace

std::optional<RunSettings> ScanArguments(int argc, wchar_t** argv, OutputSink& out) {
  // Built in place and returned as it is: a moved-from copy could keep the
  // characters of a short password.
  std::optional<RunSettings> scanned(std::in_place);
  RunSettings& settings = *scanned;
  for (int i = 0; i < argc; ++i) {
    std::wstring argument = argv[i] ? argv[i] : L"";
    std::wstring lowered = argument;
    LowerCase(lowered);
    // A password given here lives on only in the run's settings.
    const bool secret = lowered.find(kPasswordKey) != std::wstring::npos;
    const WipedOnExit wipedArgument(argument, secret);
    const WipedOnExit wipedLowered(lowered, secret);
    if (secret && argv[i]) SecureZeroMemory(argv[i], argument.size() * sizeof(wchar_t));
    if (lowered.rfind(kParamsKey, 0) == 0) {
      settings.argParams = argument.substr(std::size(kParamsKey) - 1);
      TrimSpaces(settings.argParams);
      settings.paramsGiven = 1;
      continue;
    }
    if (AsksForHelp(lowered)) {
      PrintUsage(out);
      WipeText(settings.argPassword);
      return std::nullopt;
    }
    TakeValues(argument, lowered, settings);
    for (const FlagKey& flag : kFlagKeys) {
      if (lowered.find(flag.key) != std::wstring::npos) settings.*flag.flag = 1;
    }
  }
  return scanned;
}

const wchar_t* FindTooLongValue(const RunSettings& settings) {
  for (const ValuedKey& valued : kValuedKeys) {
    if ((settings.*valued.field).size() >= FIELD_CHARS) return valued.key;
  }
  return nullptr;
}
