// wmic's XML read back by MSXML through COM, as the programs that parse it
// read it: a DOMDocument loaded from the bytes as they came, then XPath.
#pragma once

#include <windows.h>
#include <msxml2.h>
#include <oleauto.h>

#include <cstring>
#include <string>
#include <vector>

// The texts of the nodes `path` selects, in document order; one text saying
// why when the document cannot be read. COM must be started.
inline std::vector<std::wstring> MsxmlTexts(const std::string& bytes, const wchar_t* path) {
  // IXMLDOMDocument, as MSXML documents it.
  static const IID kIXMLDOMDocument = {0x2933bf81, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
  CLSID msxml = {};
  IXMLDOMDocument* document = nullptr;
  if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &msxml)) ||
      FAILED(CoCreateInstance(msxml, nullptr, CLSCTX_INPROC_SERVER, kIXMLDOMDocument,
                              reinterpret_cast<void**>(&document)))) {
    return {L"(no MSXML)"};
  }
  document->put_async(VARIANT_FALSE);
  document->put_preserveWhiteSpace(VARIANT_TRUE);
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_ARRAY | VT_UI1;
  source.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (!bytes.empty()) memcpy(source.parray->pvData, bytes.data(), bytes.size());
  VARIANT_BOOL loaded = VARIANT_FALSE;
  document->load(source, &loaded);
  VariantClear(&source);
  std::vector<std::wstring> texts;
  IXMLDOMNodeList* list = nullptr;
  BSTR query = SysAllocString(path);
  if (loaded != VARIANT_TRUE) {
    texts.emplace_back(L"(not well-formed)");
  } else if (SUCCEEDED(document->selectNodes(query, &list)) && list != nullptr) {
    IXMLDOMNode* node = nullptr;
    while (list->nextNode(&node) == S_OK && node != nullptr) {
      BSTR text = nullptr;
      node->get_text(&text);
      texts.emplace_back(text != nullptr ? text : L"");
      SysFreeString(text);
      node->Release();
    }
    list->Release();
  }
  SysFreeString(query);
  document->Release();
  return texts;
}
