// The VARIANTs a CIM value travels as: the type WMI documents for each CIM
// type, and for integers some WMI refuses in it, the exact one.
#pragma once

#include <string>
#include <vector>

#include "operations/cim_number_rules.h"
#include "wmi/ole_holders.h"

// An empty value of `type`, for the caller to fill.
Variant ScalarVariant(VARTYPE type);

// A VT_BSTR holding `text`, NULs inside it kept.
Variant StringVariant(const std::wstring& text);

Variant CopyVariant(const Variant& from);

// The documented and the exact VARIANTs of a whole number already in the
// range of `type`; `exact` stays empty where both are the same.
void IntegerVariants(CIMTYPE type, const Whole& whole, Variant& documented, Variant& exact);

// The VARIANT type of an array's elements for each element CIM type.
VARTYPE ElementType(CIMTYPE type, bool exact);

// Elements already converted to `elementType`, as one SAFEARRAY value.
Variant ArrayOf(VARTYPE elementType, const std::vector<Variant>& elements);

// The documented and exact arrays of elements converted one by one, each
// with its exact VARIANT or, where it had none, its documented one.
void ArrayVariants(CIMTYPE element, const std::vector<Variant>& documentedElements,
                   std::vector<Variant> exactElements, Variant& documented, Variant& exact);
