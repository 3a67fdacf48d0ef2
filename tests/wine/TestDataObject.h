#pragma once
// A data object as a web browser hands it to a drop target: a few clipboard
// formats, each a global memory block. Enough of IDataObject for OLE's drop
// targets; everything else says "not implemented".

#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace vgwl::test {

class TestDataObject final : public IDataObject {
public:
    TestDataObject() = default;

    // Adds a format holding these bytes (a NUL is added at the end).
    void AddBytes(CLIPFORMAT format, const void* data, std::size_t size);
    void AddText(CLIPFORMAT format, const std::string& ansi) {
        AddBytes(format, ansi.c_str(), ansi.size() + 1);
    }
    void AddWide(CLIPFORMAT format, const std::wstring& text) {
        AddBytes(format, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    static CLIPFORMAT Registered(const char* name) {
        return static_cast<CLIPFORMAT>(RegisterClipboardFormatA(name));
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) {
            out->ptd = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

    // How many times a drop target asked for the data.
    int getDataCalls = 0;

private:
    std::vector<std::pair<CLIPFORMAT, std::string>> formats_;
    std::atomic<ULONG> references_{1};
};

}  // namespace vgwl::test
