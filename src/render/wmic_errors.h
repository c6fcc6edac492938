// wmic's words for failures, which scripts match on: the node block for a
// WMI failure, and the line for a query that found nothing.
#pragma once

#include <windows.h>

#include <string>

class OutputSink;

// What wmic printed after "Description = " for a failing HRESULT: WMI's own
// short text for a WBEM code ("Invalid query", no period), the system's
// message for anything else ("Access is denied."), without its line end.
std::wstring WmicErrorDescription(HRESULT hr);

// "Node - NAME", "ERROR:", "Description = TEXT", each ending in CR LF.
void WriteWmicErrorBlock(OutputSink& errors, const std::wstring& node, const std::wstring& description);

// "No Instance(s) Available." and its CR LF.
void WriteWmicNoInstances(OutputSink& errors);
