#include "TestDataObject.h"

#include <cstring>

namespace vgwl::test {

void TestDataObject::AddBytes(CLIPFORMAT format, const void* data, std::size_t size) {
    formats_.emplace_back(format, std::string(static_cast<const char*>(data), size));
}

HRESULT TestDataObject::QueryInterface(REFIID iid, void** out) {
    if (!out) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
        *out = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG TestDataObject::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT TestDataObject::QueryGetData(FORMATETC* format) {
    if (!format) {
        return E_INVALIDARG;
    }
    if (!(format->tymed & TYMED_HGLOBAL)) {
        return DV_E_TYMED;
    }
    for (const auto& [cf, bytes] : formats_) {
        if (cf == format->cfFormat) {
            return S_OK;
        }
    }
    return DV_E_FORMATETC;
}

HRESULT TestDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    ++getDataCalls;
    if (!format || !medium) {
        return E_INVALIDARG;
    }
    if (QueryGetData(format) != S_OK) {
        return DV_E_FORMATETC;
    }
    for (const auto& [cf, bytes] : formats_) {
        if (cf != format->cfFormat) {
            continue;
        }
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size());
        if (!memory) {
            return E_OUTOFMEMORY;
        }
        std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    return DV_E_FORMATETC;
}

}  // namespace vgwl::test
