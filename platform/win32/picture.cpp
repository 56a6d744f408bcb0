// Picture files on Windows. The system's OLE picture loader reads BMP, JPEG,
// GIF, icons and metafiles into an IPicture, whose size is in HIMETRIC units
// and whose Render draws it upright by starting at the bottom of the source
// with a negative source height. A file it refuses (PNG, TIFF on Windows) goes
// to the Windows Imaging Component; such a picture is kept as pixels and drawn
// with StretchDIBits, blended with what is under it where it is transparent.
// Both ways stretch with HALFTONE filtering.
#include "platform/picture.h"

#include <ole2.h>
#include <olectl.h>
#include <wincodec.h>
#include <stdlib.h>

struct PictureObject {
    IPicture *picture; // from the OLE loader, or none
    int32_t width;     // HIMETRIC for an IPicture, else pixels
    int32_t height;
    // From the Imaging Component: width x height pixels, top row first, as
    // 0x00RRGGBB premultiplied by their alpha; and, when some pixel is not
    // opaque, the alpha of each in all three channels (else none).
    UINT32 *colour;
    UINT32 *cover;
};

// The first version of the imaging factory: the one every system with the
// component has (later systems answer to it too).
static const CLSID ImagingFactoryClass = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
static const GUID PixelFormatBgra = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0f}};

// Decoded pictures larger than this many pixels are refused rather than
// allocated (a 16384 x 16384 picture is 1 GiB of pixels).
enum { MAX_DECODED_PIXELS = 1 << 26 };

static void FreePixels(PictureObject *object)
{
    free(object->colour);
    free(object->cover);
    object->colour = object->cover = NULL;
}

// Straight BGRA pixels into premultiplied colour, with the alpha moved to a
// plane of its own when any pixel is not opaque. 0 when memory runs out.
static int SplitAlpha(PictureObject *object, UINT count)
{
    UINT32 *pixels = object->colour;
    UINT i = 0;
    while (i < count && pixels[i] >> 24 == 255)
        i++;
    if (i < count) {
        object->cover = (UINT32 *)malloc((size_t)count * 4);
        if (!object->cover)
            return 0;
    }
    for (i = 0; i < count; i++) {
        UINT32 alpha = pixels[i] >> 24, out = 0;
        for (int shift = 0; shift < 24; shift += 8)
            out |= ((((pixels[i] >> shift) & 0xFF) * alpha + 127) / 255) << shift;
        pixels[i] = out;
        if (object->cover)
            object->cover[i] = alpha * 0x010101u;
    }
    return 1;
}

// The first frame of the file into object's pixels; 0 when it cannot be read.
static int DecodeWithFactory(IWICImagingFactory *factory, const WCHAR *path, PictureObject *object)
{
    IWICBitmapDecoder *decoder = NULL;
    IWICBitmapFrameDecode *frame = NULL;
    IWICFormatConverter *converter = NULL;
    UINT width = 0, height = 0;
    int decoded = 0;
    if (factory->CreateDecoderFromFilename(path, NULL, GENERIC_READ, WICDecodeMetadataCacheOnDemand, &decoder) ==
            S_OK &&
        decoder->GetFrame(0, &frame) == S_OK && factory->CreateFormatConverter(&converter) == S_OK &&
        converter->Initialize(frame, PixelFormatBgra, WICBitmapDitherTypeNone, NULL, 0.0,
                              WICBitmapPaletteTypeCustom) == S_OK &&
        converter->GetSize(&width, &height) == S_OK && width > 0 && height > 0 && width <= 0x7FFF &&
        height <= 0x7FFF && (unsigned long long)width * height <= MAX_DECODED_PIXELS) {
        object->colour = (UINT32 *)malloc((size_t)width * height * 4);
        decoded = object->colour &&
                  converter->CopyPixels(NULL, width * 4, width * height * 4, (BYTE *)object->colour) == S_OK &&
                  SplitAlpha(object, width * height);
        object->width = (int32_t)width;
        object->height = (int32_t)height;
    }
    if (!decoded)
        FreePixels(object);
    if (converter)
        converter->Release();
    if (frame)
        frame->Release();
    if (decoder)
        decoder->Release();
    return decoded;
}

// The file through the Imaging Component. COM is started for the call when
// the host has not started it.
static int LoadWithImagingComponent(const WCHAR *path, PictureObject *object)
{
    HRESULT started = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    IWICImagingFactory *factory = NULL;
    int decoded = 0;
    if (CoCreateInstance(ImagingFactoryClass, NULL, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                         (void **)&factory) == S_OK) {
        decoded = DecodeWithFactory(factory, path, object);
        factory->Release();
    }
    if (SUCCEEDED(started))
        CoUninitialize();
    return decoded;
}

static int LoadWithOle(WCHAR *path, PictureObject *object)
{
    IPicture *picture = NULL;
    if (OleLoadPicturePath(path, NULL, 0, 0, IID_IPicture, (void **)&picture) != S_OK || !picture)
        return 0;
    OLE_XSIZE_HIMETRIC width;
    OLE_YSIZE_HIMETRIC height;
    if (picture->put_KeepOriginalFormat(FALSE) != S_OK || picture->get_Width(&width) != S_OK ||
        picture->get_Height(&height) != S_OK) {
        picture->Release();
        return 0;
    }
    object->picture = picture;
    object->width = width;
    object->height = height;
    return 1;
}

PictureObject *LoadPictureFile(const char *path)
{
    WCHAR wide[MAX_PATH];
    // A path whose wide form does not fit is refused, never loaded cut short.
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
        return NULL;
    PictureObject *object = (PictureObject *)calloc(1, sizeof(PictureObject));
    if (!object)
        return NULL;
    if (!LoadWithOle(wide, object) && !LoadWithImagingComponent(wide, object)) {
        free(object);
        return NULL;
    }
    return object;
}

int GetPictureSize(PictureObject *object, int32_t *width, int32_t *height)
{
    *width = object->width;
    *height = object->height;
    return 1;
}

// pixels (the picture's size) stretched onto dc from (x, y) by cx, cy.
static void StretchPixels(HDC dc, const PictureObject *object, const UINT32 *pixels, int x, int y, int cx, int cy)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = object->width;
    info.bmiHeader.biHeight = -object->height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(dc, x, y, cx, cy, 0, 0, object->width, object->height, pixels, &info, DIB_RGB_COLORS, SRCCOPY);
}

// A memory DC on a top-down 32-bit bitmap of width x height, or none.
static HDC MakeScratch(HDC like, int width, int height, UINT32 **bits, HBITMAP *bitmap)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(like);
    *bitmap = dc ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, (void **)bits, NULL, 0) : NULL;
    if (!*bitmap || !*bits) {
        if (*bitmap)
            DeleteObject(*bitmap);
        if (dc)
            DeleteDC(dc);
        return NULL;
    }
    SelectObject(dc, *bitmap);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, NULL);
    return dc;
}

static void FreeScratch(HDC dc, HBITMAP bitmap)
{
    if (dc)
        DeleteDC(dc);
    if (bitmap)
        DeleteObject(bitmap);
}

// A transparent picture: the part of the destination that dc shows is read
// back, the premultiplied colour and the alpha are stretched alike, and
// under * (1 - alpha) + colour goes back.
static void BlendPixels(HDC dc, const PictureObject *object, int x, int y, int cx, int cy)
{
    RECT target = {x < x + cx ? x : x + cx, y < y + cy ? y : y + cy, x < x + cx ? x + cx : x, y < y + cy ? y + cy : y};
    RECT shown, area;
    if (GetClipBox(dc, &shown) == ERROR || !IntersectRect(&area, &target, &shown))
        return;
    int width = area.right - area.left, height = area.bottom - area.top;
    UINT32 *under = NULL, *colour = NULL, *cover = NULL;
    HBITMAP underBitmap = NULL, colourBitmap = NULL, coverBitmap = NULL;
    HDC underDC = MakeScratch(dc, width, height, &under, &underBitmap);
    HDC colourDC = underDC ? MakeScratch(dc, width, height, &colour, &colourBitmap) : NULL;
    HDC coverDC = colourDC ? MakeScratch(dc, width, height, &cover, &coverBitmap) : NULL;
    if (coverDC && BitBlt(underDC, 0, 0, width, height, dc, area.left, area.top, SRCCOPY)) {
        StretchPixels(colourDC, object, object->colour, x - area.left, y - area.top, cx, cy);
        StretchPixels(coverDC, object, object->cover, x - area.left, y - area.top, cx, cy);
        GdiFlush();
        for (size_t i = 0, count = (size_t)width * height; i < count; i++) {
            UINT32 out = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                UINT32 alpha = (cover[i] >> shift) & 0xFF;
                UINT32 sum = (((under[i] >> shift) & 0xFF) * (255 - alpha) + 127) / 255 + ((colour[i] >> shift) & 0xFF);
                out |= (sum > 255 ? 255 : sum) << shift;
            }
            under[i] = out;
        }
        BitBlt(dc, area.left, area.top, width, height, underDC, 0, 0, SRCCOPY);
    }
    FreeScratch(coverDC, coverBitmap);
    FreeScratch(colourDC, colourBitmap);
    FreeScratch(underDC, underBitmap);
}

// HALFTONE averages the source pixels that fall on each destination pixel;
// the default mode drops rows and columns when a photo is shrunk, which shows
// as dark streaks. The mode wants the brush origin set after it; both go back
// to what the host had.
void RenderPicture(HDC dc, PictureObject *object, int x, int y, int cx, int cy)
{
    if (cx == 0 || cy == 0)
        return;
    int hostMode = SetStretchBltMode(dc, HALFTONE);
    POINT hostOrigin = {0, 0};
    BOOL originSet = SetBrushOrgEx(dc, 0, 0, &hostOrigin);
    if (object->picture)
        object->picture->Render(dc, x, y, cx, cy, 0, object->height, object->width, -object->height, NULL);
    else if (object->cover)
        BlendPixels(dc, object, x, y, cx, cy);
    else
        StretchPixels(dc, object, object->colour, x, y, cx, cy);
    if (originSet)
        SetBrushOrgEx(dc, hostOrigin.x, hostOrigin.y, NULL);
    if (hostMode)
        SetStretchBltMode(dc, hostMode);
}

void ReleasePicture(PictureObject *object)
{
    if (!object)
        return;
    if (object->picture)
        object->picture->Release();
    FreePixels(object);
    free(object);
}
