// The picture command: shows an image file on the left or the right canvas,
// fitted into the canvas rectangle with its ratio kept and centred, then
// scaled about its centre and moved by a pixel offset. The platform loads and
// draws the file (platform/picture.h); the placement is worked out here.
#include "plugin/tesselin.h"
#include "canvas/canvas.h"
#include "platform/picture.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

static const char *const RightSelector = "r";
static const char *const AbsoluteMode = "abs";

// Edges, scale steps and offsets beyond 2^28 pixels are refused: no canvas is
// near that large, and sums of three such values stay well inside an int.
static const double CoordinateLimit = 268435456.0;

static int WithinLimit(double value)
{
    return fabs(value) <= CoordinateLimit; // false for NaN
}

static int RectWithinLimit(const RECT *rect)
{
    return WithinLimit(rect->left) && WithinLimit(rect->top) && WithinLimit(rect->right) && WithinLimit(rect->bottom);
}

// The path to load into full: the given one, or the current directory, the
// separator and the given one. Fails when the result does not fit in MAX_PATH
// characters, since a cut path could name another file.
static int ComposePicturePath(char *full, int relative, const char *path)
{
    if (relative)
        return JoinCurrentDirectory(full, MAX_PATH, path);
    size_t length = strlen(path);
    if (length >= MAX_PATH)
        return 0;
    memcpy(full, path, length + 1);
    return 1;
}

// The picture's place in rect with its ratio kept: the full width and centred
// vertically when it is relatively wider than rect, else the full height and
// centred horizontally. The far edge moves in as far as the near edge did, so
// the margins match. An empty picture or rectangle has no ratio: no place.
static int FitPicture(const RECT *rect, int32_t width, int32_t height, RECT *fitted)
{
    if (!RectWithinLimit(rect))
        return 0;
    int rw = rect->right - rect->left, rh = rect->bottom - rect->top;
    if (rw <= 0 || rh <= 0 || width <= 0 || height <= 0)
        return 0;
    CopyRect(fitted, rect);
    if ((double)rh / rw > (double)height / width) {
        int cy = (rect->top + rect->bottom) / 2;
        fitted->top = (int)(cy - rw * ((double)height / width) / 2.0);
        fitted->bottom = rect->bottom - (fitted->top - rect->top);
    } else {
        int cx = (rect->left + rect->right) / 2;
        fitted->left = (int)(cx - rh * ((double)width / height) / 2.0);
        fitted->right = rect->right - (fitted->left - rect->left);
    }
    return 1;
}

// Moves each side out by (scale - 1) / 2 of the fitted size, truncated toward
// zero. A negative scale turns the rectangle inside out, which the renderer
// draws mirrored in both directions about the same centre.
static int ScalePicture(RECT *placed, double scale)
{
    double dy = (placed->bottom - placed->top) * (scale - 1) / 2.0;
    double dx = (placed->right - placed->left) * (scale - 1) / 2.0;
    if (!WithinLimit(dx) || !WithinLimit(dy))
        return 0;
    InflateRect(placed, (int)dx, (int)dy);
    return 1;
}

static int ShiftPicture(RECT *placed, int offsetX, int offsetY)
{
    if (!WithinLimit(offsetX) || !WithinLimit(offsetY))
        return 0;
    OffsetRect(placed, offsetX, offsetY);
    return 1;
}

void DrawPictureFile(HDC dc, const RECT *rect, int offsetX, int offsetY, double scale, int relative,
                     const char *path)
{
    char full[MAX_PATH];
    if (!ComposePicturePath(full, relative, path))
        return;
    PictureObject *picture = LoadPictureFile(full);
    if (!picture)
        return;
    int32_t width, height;
    RECT placed;
    if (GetPictureSize(picture, &width, &height) && FitPicture(rect, width, height, &placed) &&
        ScalePicture(&placed, scale) && ShiftPicture(&placed, offsetX, offsetY))
        RenderPicture(dc, picture, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top);
    ReleasePicture(picture);
}

const char *CommandPicture(int count, char **tokens)
{
    if (count != 7)
        return WrongTokenCount();
    CanvasRecord *canvas = LeftCanvas;
    const RECT *rect = &CanvasView.rect;
    RECT moved;
    if (strcmp(tokens[1], RightSelector) == 0) {
        // The host's answer comes first; a right canvas that the host knows
        // but the plug-in does not hold is as missing as one the host lacks.
        if (!HasRightCanvas() || !RightCanvas)
            return MakeWarning(MessageBuffer, NoRightCanvasText);
        CopyRect(&moved, &CanvasView.rect);
        if (RectWithinLimit(&moved) && WithinLimit(CanvasView.amount))
            OffsetRect(&moved, CanvasView.amount, 0);
        else
            moved.right = moved.left; // a move past any canvas: nothing to draw
        canvas = RightCanvas;
        rect = &moved;
    }
    if (!canvas)
        return MakeError(MessageBuffer, NoCanvasText);
    DrawPictureFile(CanvasDC(canvas), rect, TokenToInt(tokens[2]), TokenToInt(tokens[3]), atof(tokens[4]),
                    strcmp(tokens[5], AbsoluteMode) != 0, tokens[6]);
    RefreshCanvas(0, -1);
    return NULL;
}
