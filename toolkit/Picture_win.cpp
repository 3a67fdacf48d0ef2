#include "toolkit/Picture.h"

#include "toolkit/SystemLibrary.h"

#include <objbase.h>
#include <wincodec.h>

namespace vgwl {
namespace {

// Owns one COM interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p_) {
            p_->Release();
        }
    }
    T* operator->() const noexcept { return p_; }
    T* get() const noexcept { return p_; }
    T** put() noexcept { return &p_; }

private:
    T* p_ = nullptr;
};

// The decoder is needed once, for the splash: COM and the imaging library are
// loaded from the system folder for the decoding and let go right after, so
// that the resident program does not carry them.
class ComLibrary {
public:
    ComLibrary() : module_(LoadSystemLibrary("ole32.dll")) {
        if (module_) {
            initialize_ = Lookup<decltype(&CoInitializeEx)>("CoInitializeEx");
            uninitialize_ = Lookup<decltype(&CoUninitialize)>("CoUninitialize");
        }
        ok_ = initialize_ && uninitialize_ &&
              SUCCEEDED(initialize_(nullptr, COINIT_APARTMENTTHREADED));
    }
    ~ComLibrary() {
        if (ok_) {
            uninitialize_();
        }
    }
    ComLibrary(const ComLibrary&) = delete;
    ComLibrary& operator=(const ComLibrary&) = delete;

    bool Ready() const noexcept { return ok_; }

private:
    template <typename F>
    F Lookup(const char* name) const {
        return reinterpret_cast<F>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), name)));
    }

    UniqueHmodule module_;  // freed after the apartment is left
    decltype(&CoInitializeEx) initialize_ = nullptr;
    decltype(&CoUninitialize) uninitialize_ = nullptr;
    bool ok_ = false;
};

// The imaging library, loaded here rather than by CoCreateInstance: COM keeps
// a library it loaded until the process ends, this one goes with the object.
class ImagingLibrary {
public:
    ImagingLibrary() : module_(LoadSystemLibrary("windowscodecs.dll")) {}

    HRESULT CreateFactory(IWICImagingFactory** factory) const {
        using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
        const auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void (*)()>(
            module_ ? GetProcAddress(module_.get(), "DllGetClassObject") : nullptr));
        if (!get) {
            return E_NOINTERFACE;
        }
        ComPtr<IClassFactory> classes;
        const HRESULT got = get(CLSID_WICImagingFactory, IID_IClassFactory,
                                reinterpret_cast<void**>(classes.put()));
        if (FAILED(got)) {
            return got;
        }
        return classes->CreateInstance(nullptr, IID_IWICImagingFactory,
                                       reinterpret_cast<void**>(factory));
    }

private:
    UniqueHmodule module_;  // freed once the objects below are released
};

}  // namespace

UniqueGdiObject LoadPictureResource(HINSTANCE instance, const char* name, const char* type) {
    HRSRC resource = FindResourceA(instance, name, type);
    if (!resource) {
        return {};
    }
    HGLOBAL loaded = LoadResource(instance, resource);
    const DWORD size = SizeofResource(instance, resource);
    auto* data = static_cast<BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (!data || size == 0) {
        return {};
    }
    ComLibrary com;
    if (!com.Ready()) {
        return {};
    }
    ImagingLibrary imaging;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(imaging.CreateFactory(factory.put())) ||
        FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(data, size)) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr,
                                                WICDecodeMetadataCacheOnDemand, decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) ||
        FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return {};
    }
    UINT width = 0;
    UINT height = 0;
    if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 || width > 16384 ||
        height > 16384) {
        return {};
    }
    const BITMAPINFO info = TopDownBitmapInfo(static_cast<int>(width), static_cast<int>(height));
    void* bits = nullptr;
    UniqueGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) {
        return {};
    }
    const UINT stride = width * 4;
    if (FAILED(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) {
        return {};
    }
    return bitmap;
}

}  // namespace vgwl
