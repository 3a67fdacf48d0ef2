#include "toolkit/DropTarget.h"

#include "toolkit/SystemLibrary.h"

#include "toolkit/AnsiText.h"
#include "toolkit/Application.h"
#include "toolkit/WebLink.h"

#include <atomic>

namespace vgwl {
namespace {

struct AcceptedFormat {
    CLIPFORMAT format;
    bool wide;
};

// In the order of preference: a browser offers the link itself and its text.
std::vector<AcceptedFormat> AcceptedFormats() {
    return {
        {static_cast<CLIPFORMAT>(RegisterClipboardFormatA("UniformResourceLocatorW")), true},
        {static_cast<CLIPFORMAT>(RegisterClipboardFormatA("UniformResourceLocator")), false},
        {CF_UNICODETEXT, true},
        {CF_TEXT, false},
    };
}

// The text of a global memory block, up to its first NUL and never past its
// size, whatever the sender put into it.
std::u16string GlobalText(HGLOBAL memory, bool wide) {
    const SIZE_T size = GlobalSize(memory);
    const void* data = GlobalLock(memory);
    if (!data) {
        return {};
    }
    std::u16string text;
    if (wide) {
        const auto* chars = static_cast<const char16_t*>(data);
        const SIZE_T count = size / sizeof(char16_t);
        SIZE_T length = 0;
        while (length < count && chars[length] != 0) {
            ++length;
        }
        text.assign(chars, length);
    } else {
        const auto* chars = static_cast<const char*>(data);
        SIZE_T length = 0;
        while (length < size && chars[length] != 0) {
            ++length;
        }
        text = Utf16FromAnsi(std::string_view(chars, length));
    }
    GlobalUnlock(memory);
    return text;
}

}  // namespace

std::vector<std::u16string> DroppedWebLinks(IDataObject* data) {
    if (!data) {
        return {};
    }
    for (const AcceptedFormat& accepted : AcceptedFormats()) {
        FORMATETC format{accepted.format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        if (accepted.format == 0 || data->QueryGetData(&format) != S_OK) {
            continue;
        }
        STGMEDIUM medium{};
        if (FAILED(data->GetData(&format, &medium))) {
            continue;
        }
        std::u16string text;
        if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
            text = GlobalText(medium.hGlobal, accepted.wide);
        }
        static const auto release =
            SystemFunction<decltype(&ReleaseStgMedium)>("ole32.dll", "ReleaseStgMedium");
        if (release) {
            release(&medium);
        }
        // The first format offered decides: a link that is no web link is
        // not taken from the text beside it either.
        return WebLinkLines(text);
    }
    return {};
}

class TDropTarget::Object final : public IDropTarget {
public:
    explicit Object(TDropTarget* owner) : owner_(owner) {}
    void Detach() noexcept { owner_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
            *out = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        if (!effect) {
            return E_INVALIDARG;
        }
        accepting_ = GuardCallback([&] { return owner_ && !DroppedWebLinks(data).empty(); }, false);
        *effect = Effect(*effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        if (!effect) {
            return E_INVALIDARG;
        }
        *effect = Effect(*effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        accepting_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        if (!effect) {
            return E_INVALIDARG;
        }
        accepting_ = false;
        const DWORD allowed = *effect;
        *effect = DROPEFFECT_NONE;
        if (!owner_ || !(allowed & DROPEFFECT_COPY)) {
            return S_OK;
        }
        // The data is read again: what was dragged in may differ from what
        // is dropped, and only the drop's own data counts.
        GuardCallback(
            [&] {
                std::vector<std::u16string> lines = DroppedWebLinks(data);
                if (!lines.empty()) {
                    *effect = DROPEFFECT_COPY;
                    owner_->Dropped(std::move(lines));
                }
                return 0;
            },
            0);
        return S_OK;
    }

private:
    DWORD Effect(DWORD allowed) const noexcept {
        return accepting_ && owner_ && (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY
                                                                   : DROPEFFECT_NONE;
    }

    std::atomic<ULONG> references_{1};
    TDropTarget* owner_;
    bool accepting_ = false;
};

TDropTarget::TDropTarget() : object_(new Object(this)) {}

TDropTarget::~TDropTarget() {
    Revoke();
    object_->Detach();
    object_->Release();
}

bool TDropTarget::Register(HWND window) {
    Revoke();
    // Looked up, not linked, so that OLE is loaded only once a form takes
    // drops; OLE is running by then, so these are there.
    static const auto registerTarget =
        SystemFunction<decltype(&RegisterDragDrop)>("ole32.dll", "RegisterDragDrop");
    if (!window || !registerTarget || FAILED(registerTarget(window, object_))) {
        return false;
    }
    window_ = window;
    return true;
}

void TDropTarget::Revoke() noexcept {
    if (window_) {
        static const auto revoke =
            SystemFunction<decltype(&RevokeDragDrop)>("ole32.dll", "RevokeDragDrop");
        if (revoke) {
            (void)revoke(window_);
        }
        window_ = nullptr;
    }
}

IDropTarget* TDropTarget::Target() const noexcept { return object_; }

void TDropTarget::Dropped(std::vector<std::u16string> lines) {
    lines_ = std::move(lines);
    if (OnDrop) {
        OnDrop(lines_);
    }
}

}  // namespace vgwl
