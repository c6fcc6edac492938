// Whole numbers as each CIM integer type takes them: its range, and the
// decimal and hex forms a value may be written in.
#pragma once

#include <string>

#include <windows.h>
#include <wbemcli.h>

// A whole number: a sign and a magnitude, so that every value of sint64 and
// of uint64 fits.
struct Whole {
  bool negative = false;
  unsigned long long magnitude = 0;
};

// The bounds of an integer type, as a lowest magnitude below zero and a
// highest value.
struct IntegerRange {
  unsigned long long belowZero;
  unsigned long long highest;
};

// False for a type that is not an integer.
bool RangeOf(CIMTYPE type, IntegerRange& range);

bool InRange(const Whole& whole, const IntegerRange& range);

// Decimal digits with an optional minus, as the 64-bit types take in a
// string. False also for digits too many for 64 bits.
bool ParseDecimal(const std::string& text, Whole& whole);

// Decimal digits with an optional minus, of any length.
bool IsDecimal(const std::string& text);

// Hex digits as the bits of `type`: more bits than the type has is out of
// its range; with the top bit set, a signed type reads them as negative.
bool HexBits(const std::wstring& digits, CIMTYPE type, Whole& whole);
