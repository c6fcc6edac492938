// wmic's XML read back by MSXML through COM, the way the programs that parse
// it do: a DOMDocument loaded from the bytes, then XPath.
#pragma once

#include <windows.h>
#include <msxml2.h>
#include <oleauto.h>

#include <string>
#include <vector>

class MsxmlReader {
 public:
  MsxmlReader() {
    // IXMLDOMDocument, as MSXML documents it.
    static const IID kIXMLDOMDocument = {0x2933bf81, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
    CLSID msxml = {};
    if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &msxml))) return;
    if (FAILED(CoCreateInstance(msxml, nullptr, CLSCTX_INPROC_SERVER, kIXMLDOMDocument,
                                reinterpret_cast<void**>(&document_)))) {
      document_ = nullptr;
      return;
    }
    document_->put_async(VARIANT_FALSE);
    document_->put_preserveWhiteSpace(VARIANT_TRUE);
  }
  ~MsxmlReader() {
    if (document_ != nullptr) document_->Release();
  }
  MsxmlReader(const MsxmlReader&) = delete;
  MsxmlReader& operator=(const MsxmlReader&) = delete;

  // The bytes as they came, or a file by its path; false when MSXML is not
  // there or finds the document not well-formed.
  bool LoadBytes(const std::string& bytes) {
    if (document_ == nullptr) return false;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (array == nullptr) return false;
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    if (!bytes.empty()) memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_ARRAY | VT_UI1;
    source.parray = array;
    const bool loaded = Load(source);
    VariantClear(&source);
    return loaded;
  }
  bool LoadFile(const std::wstring& path) {
    if (document_ == nullptr) return false;
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(path.c_str());
    const bool loaded = Load(source);
    VariantClear(&source);
    return loaded;
  }

  // The texts of the nodes `path` selects, in document order.
  std::vector<std::wstring> Texts(const wchar_t* path) const {
    std::vector<std::wstring> texts;
    if (document_ == nullptr) return {L"(no MSXML)"};
    IXMLDOMNodeList* list = nullptr;
    BSTR query = SysAllocString(path);
    const HRESULT hr = document_->selectNodes(query, &list);
    SysFreeString(query);
    if (FAILED(hr) || list == nullptr) return {L"(selectNodes failed)"};
    for (;;) {
      IXMLDOMNode* node = nullptr;
      if (list->nextNode(&node) != S_OK || node == nullptr) break;
      BSTR text = nullptr;
      node->get_text(&text);
      texts.emplace_back(text != nullptr ? text : L"");
      SysFreeString(text);
      node->Release();
    }
    list->Release();
    return texts;
  }

 private:
  bool Load(const VARIANT& source) {
    VARIANT_BOOL loaded = VARIANT_FALSE;
    return document_->load(source, &loaded) == S_OK && loaded == VARIANT_TRUE;
  }

  IXMLDOMDocument* document_ = nullptr;
};
