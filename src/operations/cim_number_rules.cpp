#include "operations/cim_number_rules.h"

#include <limits>

namespace {

// The width of each integer type in bits, and whether it has a sign.
bool IntegerWidth(CIMTYPE type, unsigned& bits, bool& signedType) {
  switch (type) {
    case CIM_SINT8: bits = 8; signedType = true; return true;
    case CIM_UINT8: bits = 8; signedType = false; return true;
    case CIM_SINT16: bits = 16; signedType = true; return true;
    case CIM_UINT16: bits = 16; signedType = false; return true;
    case CIM_SINT32: bits = 32; signedType = true; return true;
    case CIM_UINT32: bits = 32; signedType = false; return true;
    case CIM_SINT64: bits = 64; signedType = true; return true;
    case CIM_UINT64: bits = 64; signedType = false; return true;
    default: return false;
  }
}

}  // namespace

bool RangeOf(CIMTYPE type, IntegerRange& range) {
  switch (type) {
    case CIM_SINT8: range = {128, 127}; return true;
    case CIM_UINT8: range = {0, 255}; return true;
    case CIM_SINT16: range = {32768, 32767}; return true;
    case CIM_UINT16: range = {0, 65535}; return true;
    case CIM_SINT32: range = {2147483648ull, 2147483647ull}; return true;
    case CIM_UINT32: range = {0, 4294967295ull}; return true;
    case CIM_SINT64: range = {9223372036854775808ull, 9223372036854775807ull}; return true;
    case CIM_UINT64: range = {0, std::numeric_limits<unsigned long long>::max()}; return true;
    default: return false;
  }
}

bool InRange(const Whole& whole, const IntegerRange& range) {
  return whole.negative ? whole.magnitude <= range.belowZero : whole.magnitude <= range.highest;
}

bool ParseDecimal(const std::string& text, Whole& whole) {
  size_t at = 0;
  whole = {};
  if (!text.empty() && text[0] == '-') {
    whole.negative = true;
    at = 1;
  }
  if (at == text.size()) return false;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    const unsigned digit = static_cast<unsigned>(text[at] - '0');
    if (whole.magnitude > (std::numeric_limits<unsigned long long>::max() - digit) / 10) return false;
    whole.magnitude = whole.magnitude * 10 + digit;
  }
  return true;
}

bool IsDecimal(const std::string& text) {
  const size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
  return text.size() > digits && text.find_first_not_of("0123456789", digits) == std::string::npos;
}

bool HexBits(const std::wstring& digits, CIMTYPE type, Whole& whole) {
  unsigned bits = 0;
  bool signedType = false;
  if (!IntegerWidth(type, bits, signedType) || digits.empty() || digits.size() > 16) return false;
  unsigned long long value = 0;
  for (const wchar_t c : digits) {
    unsigned digit = 0;
    if (c >= L'0' && c <= L'9') {
      digit = static_cast<unsigned>(c - L'0');
    } else if (c >= L'a' && c <= L'f') {
      digit = static_cast<unsigned>(c - L'a' + 10);
    } else if (c >= L'A' && c <= L'F') {
      digit = static_cast<unsigned>(c - L'A' + 10);
    } else {
      return false;
    }
    value = value * 16 + digit;
  }
  if (bits < 64 && value >> bits != 0) return false;
  const unsigned long long top = 1ull << (bits - 1);
  whole.negative = signedType && (value & top) != 0;
  // The two's complement of the bits, as a magnitude below zero.
  whole.magnitude = whole.negative ? (bits < 64 ? (1ull << bits) - value : ~value + 1) : value;
  return true;
}
