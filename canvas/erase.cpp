// The erase command: fills the canvas rectangle with white or black, on the
// left canvas and, of a stereo pair, on the right one with the same rectangle.
#include "plugin/tesselin.h"
#include "canvas/canvas.h"

#include <string.h>

static const char *const WhiteWord = "white";

const char *CommandErase(int count, char **tokens)
{
    if (count != 2)
        return WrongTokenCount();
    // The host answered that a canvas exists; without one of our own there is
    // nothing to fill, and saying so beats reporting success.
    if (!LeftCanvas)
        return MakeError(MessageBuffer, NoCanvasText);
    HBRUSH brush = (HBRUSH)GetStockObject(strcmp(tokens[1], WhiteWord) == 0 ? WHITE_BRUSH : BLACK_BRUSH);
    FillRect(CanvasDC(LeftCanvas), &CanvasView.rect, brush);
    if (RightCanvas)
        FillRect(CanvasDC(RightCanvas), &CanvasView.rect, brush);
    RefreshCanvas(0, -1);
    return NULL;
}
