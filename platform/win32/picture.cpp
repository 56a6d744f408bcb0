// Picture files on Windows, through the system's OLE picture loader: the file
// is loaded as an IPicture, its size read in HIMETRIC units, and Render draws it
// upright into the destination by starting at the bottom of the source with a
// negative source height.
#include "platform/picture.h"

#include <ole2.h>
#include <olectl.h>
#include <stdlib.h>

struct PictureObject {
    IPicture *picture;
    OLE_XSIZE_HIMETRIC width;
    OLE_YSIZE_HIMETRIC height;
};

PictureObject *LoadPictureFile(const char *path)
{
    WCHAR wide[MAX_PATH];
    // A path whose wide form does not fit is refused, never loaded cut short.
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
        return NULL;
    IPicture *picture = NULL;
    if (OleLoadPicturePath(wide, NULL, 0, 0, IID_IPicture, (void **)&picture) != S_OK || !picture)
        return NULL;
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

void RenderPicture(HDC dc, PictureObject *object, int x, int y, int cx, int cy)
{
    if (cx == 0 || cy == 0)
        return;
    object->picture->Render(dc, x, y, cx, cy, 0, object->height, object->width, -object->height, NULL);
}

void ReleasePicture(PictureObject *object)
{
    if (!object)
        return;
    object->picture->Release();
    free(object);
}
