#include "platform/win32/host/png_writer.h"

#include <windows.h>
#include <wincodec.h>

#include <vector>

namespace tesselin::windows {

namespace {

// Releases a COM interface when it goes.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr &) = delete;
    ComPtr &operator=(const ComPtr &) = delete;
    ~ComPtr()
    {
        if (pointer_)
            pointer_->Release();
    }
    T **Out() { return &pointer_; }
    T *operator->() const { return pointer_; }
    T *Get() const { return pointer_; }

private:
    T *pointer_ = nullptr;
};

// COM for this thread, for as long as a write takes.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComApartment(const ComApartment &) = delete;
    ComApartment &operator=(const ComApartment &) = delete;
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }

private:
    HRESULT result_;
};

std::wstring Wide(const std::string &text)
{
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(std::size_t(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string Failure(const char *step, HRESULT result)
{
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(result));
    return std::string(step) + " failed (" + code + ")";
}

// The encoding itself; the reason in error when a step fails.
bool Encode(const std::wstring &path, const Pixels &pixels, std::string &error)
{
    ComPtr<IWICImagingFactory> factory;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      reinterpret_cast<void **>(factory.Out()));
    if (FAILED(result))
        return error = Failure("starting the Imaging Component", result), false;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> properties;
    if (FAILED(result = factory->CreateStream(stream.Out())) ||
        FAILED(result = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)))
        return error = Failure("opening the file", result), false;
    if (FAILED(result = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out())) ||
        FAILED(result = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(result = encoder->CreateNewFrame(frame.Out(), properties.Out())) ||
        FAILED(result = frame->Initialize(properties.Get())) ||
        FAILED(result = frame->SetSize(UINT(pixels.width), UINT(pixels.height))))
        return error = Failure("starting the PNG encoder", result), false;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(result = frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        return error = Failure("choosing 24-bit pixels", result), false;
    // Top row first, blue, green, red: the DIB's pixels without their
    // fourth byte.
    UINT stride = UINT(pixels.width) * 3;
    std::vector<BYTE> row(stride);
    for (int y = 0; y < pixels.height; y++) {
        const uint32_t *source = pixels.Row(y);
        for (int x = 0; x < pixels.width; x++) {
            row[std::size_t(x) * 3] = BYTE(source[x] & 0xFF);
            row[std::size_t(x) * 3 + 1] = BYTE((source[x] >> 8) & 0xFF);
            row[std::size_t(x) * 3 + 2] = BYTE((source[x] >> 16) & 0xFF);
        }
        if (FAILED(result = frame->WritePixels(1, stride, stride, row.data())))
            return error = Failure("writing the pixels", result), false;
    }
    if (FAILED(result = frame->Commit()) || FAILED(result = encoder->Commit()))
        return error = Failure("finishing the file", result), false;
    return true;
}

} // namespace

bool WritePng(const std::string &path, const Pixels &pixels, std::string &error)
{
    if (pixels.width < 1 || pixels.height < 1 || !pixels.bits) {
        error = "cannot write " + path + ": there is no picture";
        return false;
    }
    ComApartment com;
    std::string temporary = path + ".part";
    bool written;
    {
        std::string reason;
        written = Encode(Wide(temporary), pixels, reason);
        if (!written)
            error = "cannot write " + path + ": " + reason;
    }
    if (written && !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = "cannot write " + path + ": it cannot be replaced (error " + std::to_string(GetLastError()) + ")";
        written = false;
    }
    if (!written)
        DeleteFileA(temporary.c_str());
    return written;
}

} // namespace tesselin::windows
