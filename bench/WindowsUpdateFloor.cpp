// nexlume-windows-update-floor INSTALLED_FOLDER NEW_FOLDER SCRATCH_FOLDER (Windows build)
// The DOM work of an update run over eight installed descriptions with MSXML and none of the
// project's code, for scripts/bench.sh to time beside NexlumeQ7Setup.exe under the same Wine: for
// each installed description, create the DOM, load it and the new description of the same name,
// and save one of them (16 loads, 8 saves).
#include <windows.h>
#include <msxml2.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr IID kIidDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

IXMLDOMDocument2* createDocument() {
  CLSID classId{};
  if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.4.0", &classId)) &&
      FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &classId)))
    return nullptr;
  IXMLDOMDocument2* document = nullptr;
  if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, kIidDomDocument2, reinterpret_cast<void**>(&document))))
    return nullptr;
  document->put_async(VARIANT_FALSE);
  return document;
}

bool load(IXMLDOMDocument2* document, const std::wstring& path) {
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocString(path.c_str());
  VARIANT_BOOL loaded = VARIANT_FALSE;
  const HRESULT result = document->load(source, &loaded);
  VariantClear(&source);
  return SUCCEEDED(result) && loaded == VARIANT_TRUE;
}

bool save(IXMLDOMDocument2* document, const std::wstring& path) {
  VARIANT target;
  VariantInit(&target);
  target.vt = VT_BSTR;
  target.bstrVal = SysAllocString(path.c_str());
  const HRESULT result = document->save(target);
  VariantClear(&target);
  return SUCCEEDED(result);
}

std::vector<std::wstring> descriptionsIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*.dsr").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fputs("usage: nexlume-windows-update-floor INSTALLED_FOLDER NEW_FOLDER SCRATCH_FOLDER\n", stderr);
    return 2;
  }
  CoInitialize(nullptr);
  int failures = 0;
  for (const std::wstring& name : descriptionsIn(argv[1])) {
    IXMLDOMDocument2* installed = createDocument();
    IXMLDOMDocument2* fresh = createDocument();
    if (installed == nullptr || fresh == nullptr || !load(installed, std::wstring(argv[1]) + L"\\" + name) ||
        !load(fresh, std::wstring(argv[2]) + L"\\" + name) || !save(fresh, std::wstring(argv[3]) + L"\\" + name))
      ++failures;
    if (installed != nullptr) installed->Release();
    if (fresh != nullptr) fresh->Release();
  }
  CoUninitialize();
  return failures == 0 ? 0 : 1;
}
