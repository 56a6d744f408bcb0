// Picture files on Windows. The system's OLE picture loader reads BMP, JPEG,
// GIF, icons and metafiles; a file it refuses (PNG, TIFF on Windows) goes to
// the Windows Imaging Component, whose decoded pixels become a bitmap picture
// of the same IPicture kind. Either way the picture's size is kept in HIMETRIC
// units, and Render draws it upright into the destination by starting at the
// bottom of the source with a negative source height.
#include "platform/picture.h"

#include <ole2.h>
#include <olectl.h>
#include <wincodec.h>
#include <stdlib.h>

struct PictureObject {
    IPicture *picture;
    OLE_XSIZE_HIMETRIC width;
    OLE_YSIZE_HIMETRIC height;
};

// The first version of the imaging factory: the one every system with the
// component has (later systems answer to it too).
static const CLSID ImagingFactoryClass = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
static const GUID PixelFormatBgra = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0f}};

// Decoded pictures larger than this many pixels are refused rather than
// allocated (a 16384 x 16384 picture is 1 GiB of pixels).
enum { MAX_DECODED_PIXELS = 1 << 26 };

// Straight alpha over white: a transparent part shows as the white a fresh
// canvas has, as the OLE loader's pictures show their background.
static void BlendOverWhite(BYTE *pixels, UINT count)
{
    for (UINT i = 0; i < count; i++, pixels += 4) {
        unsigned alpha = pixels[3];
        for (int channel = 0; channel < 3; channel++)
            pixels[channel] = (BYTE)((pixels[channel] * alpha + 255 * (255 - alpha) + 127) / 255);
        pixels[3] = 0;
    }
}

// The first frame of the file as a top-down 32-bit DIB section, or none.
static HBITMAP DecodeWithFactory(IWICImagingFactory *factory, const WCHAR *path)
{
    IWICBitmapDecoder *decoder = NULL;
    IWICBitmapFrameDecode *frame = NULL;
    IWICFormatConverter *converter = NULL;
    HBITMAP bitmap = NULL;
    UINT width = 0, height = 0;
    if (factory->CreateDecoderFromFilename(path, NULL, GENERIC_READ, WICDecodeMetadataCacheOnDemand, &decoder) ==
            S_OK &&
        decoder->GetFrame(0, &frame) == S_OK && factory->CreateFormatConverter(&converter) == S_OK &&
        converter->Initialize(frame, PixelFormatBgra, WICBitmapDitherTypeNone, NULL, 0.0,
                              WICBitmapPaletteTypeCustom) == S_OK &&
        converter->GetSize(&width, &height) == S_OK && width > 0 && height > 0 && width <= 0x7FFF &&
        height <= 0x7FFF && (unsigned long long)width * height <= MAX_DECODED_PIXELS) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = (LONG)width;
        info.bmiHeader.biHeight = -(LONG)height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void *bits = NULL;
        bitmap = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        if (bitmap && bits && converter->CopyPixels(NULL, width * 4, width * height * 4, (BYTE *)bits) == S_OK) {
            BlendOverWhite((BYTE *)bits, width * height);
        } else if (bitmap) {
            DeleteObject(bitmap);
            bitmap = NULL;
        }
    }
    if (converter)
        converter->Release();
    if (frame)
        frame->Release();
    if (decoder)
        decoder->Release();
    return bitmap;
}

// The file through the Imaging Component, as a bitmap picture that owns its
// bitmap. COM is started for the call when the host has not started it.
static IPicture *LoadWithImagingComponent(const WCHAR *path)
{
    HRESULT started = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    IWICImagingFactory *factory = NULL;
    HBITMAP bitmap = NULL;
    if (CoCreateInstance(ImagingFactoryClass, NULL, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                         (void **)&factory) == S_OK) {
        bitmap = DecodeWithFactory(factory, path);
        factory->Release();
    }
    if (SUCCEEDED(started))
        CoUninitialize();
    if (!bitmap)
        return NULL;
    PICTDESC description = {};
    description.cbSizeofstruct = sizeof(description);
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = bitmap;
    IPicture *picture = NULL;
    if (OleCreatePictureIndirect(&description, IID_IPicture, TRUE, (void **)&picture) != S_OK || !picture) {
        DeleteObject(bitmap);
        return NULL;
    }
    return picture;
}

PictureObject *LoadPictureFile(const char *path)
{
    WCHAR wide[MAX_PATH];
    // A path whose wide form does not fit is refused, never loaded cut short.
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
        return NULL;
    IPicture *picture = NULL;
    if (OleLoadPicturePath(wide, NULL, 0, 0, IID_IPicture, (void **)&picture) != S_OK || !picture) {
        picture = LoadWithImagingComponent(wide);
        if (!picture)
            return NULL;
    }
    PictureObject *object = (PictureObject *)calloc(1, sizeof(PictureObject));
    if (!object || picture->put_KeepOriginalFormat(FALSE) != S_OK || picture->get_Width(&object->width) != S_OK ||
        picture->get_Height(&object->height) != S_OK) {
        picture->Release();
        free(object);
        return NULL;
    }
    object->picture = picture;
    return object;
}

int GetPictureSize(PictureObject *object, int32_t *width, int32_t *height)
{
    *width = object->width;
    *height = object->height;
    return 1;
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
    object->picture->Render(dc, x, y, cx, cy, 0, object->height, object->width, -object->height, NULL);
    if (originSet)
        SetBrushOrgEx(dc, hostOrigin.x, hostOrigin.y, NULL);
    if (hostMode)
        SetStretchBltMode(dc, hostMode);
}

void ReleasePicture(PictureObject *object)
{
    if (!object)
        return;
    object->picture->Release();
    free(object);
}
