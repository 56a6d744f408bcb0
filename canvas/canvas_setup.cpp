// The canvas command: replaces the canvases with a new single canvas or stereo
// pair, flat or prepared for 3D, and renews the point-array store.
#include "plugin/tesselin.h"
#include "canvas/canvas.h"

#include <stdlib.h>
#include <string.h>

// Gives back the canvases held, right before left, each unregistered first.
static void ReleaseCanvases(void)
{
    if (RightCanvas) {
        SetRightCanvas(NULL);
        DestroyCanvas(RightCanvas);
        RightCanvas = NULL;
    }
    if (LeftCanvas) {
        SelectCanvas(NULL, 0);
        DestroyCanvas(LeftCanvas);
        LeftCanvas = NULL;
    }
}

static const char *TooLargeCanvas(void)
{
    return MakeError(MessageBuffer, MessageTexts[MSG_TOO_LARGE_CANVAS]);
}

// Width and height that do not read as positive numbers would only reach the
// host as an empty canvas, so they fail as a canvas the host cannot make.
static CanvasRecord *CreateCheckedCanvas(int width, int height)
{
    return width > 0 && height > 0 ? CreateCanvas(width, height) : NULL;
}

// The 3D view: projection numbers start at token first; stereo forms pass the
// stereo number and the scene's stereo amount after them.
static void SetUpSceneView(char **tokens, int first, int stereo)
{
    GetViewRect(&SceneView);
    if (Quadric)
        gluDeleteQuadric(Quadric);
    Quadric = gluNewQuadric();
    int ortho = strcmp(tokens[first], OrthoKeyword) == 0;
    double a = atof(tokens[first + 1]), b = atof(tokens[first + 2]);
    double c = atof(tokens[first + 3]), d = atof(tokens[first + 4]);
    if (stereo) {
        SetViewMargin(&SceneView, TokenToInt(tokens[first + 6]));
        InflateRect(&SceneView.rect, SceneView.amount, 0);
        SetProjection(&SceneView, ortho, a, b, c, d);
        SetStereoView(&SceneView, 1, atof(tokens[first + 5]));
    } else {
        SetProjection(&SceneView, ortho, a, b, c, d);
        SetStereoView(&SceneView, 0, 0.0);
    }
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
}

const char *CommandCanvas(int count, char **tokens)
{
    if (count != 3 && count != 4 && count != 8 && count != 11)
        return WrongTokenCount();
    int stereo = count == 4 || count == 11, model = count >= 8;
    ResetPointArrayStore();
    ReleaseCanvases();
    LeftCanvas = CreateCheckedCanvas(TokenToInt(tokens[1]), TokenToInt(tokens[2]));
    if (!LeftCanvas)
        return TooLargeCanvas();
    if (stereo) {
        RightCanvas = CreateCanvas((int)LeftCanvas[CANVAS_FIELD_WIDTH], (int)LeftCanvas[CANVAS_FIELD_HEIGHT]);
        if (!RightCanvas) {
            DestroyCanvas(LeftCanvas);
            LeftCanvas = NULL;
            return TooLargeCanvas();
        }
    }
    SelectCanvas(LeftCanvas, model);
    ShowCanvasWindow();
    GetViewRect(&CanvasView);
    if (RightCanvas) {
        SetRightCanvas(RightCanvas);
        SetViewMargin(&CanvasView, TokenToInt(tokens[3]));
        InflateRect(&CanvasView.rect, CanvasView.amount, 0);
    }
    if (model)
        SetUpSceneView(tokens, stereo ? 4 : 3, stereo);
    RefreshCanvas(0, -1);
    return NULL;
}
