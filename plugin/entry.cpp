// Load and unload: the plug-in's first and last words with the host.
#include "plugin/tesselin.h"

#include <stdlib.h>

static const char DisplayName[] = "Tesselin";

static const char WelcomeText[] =
    "                  Tesselin 1.1\r\n"
    "                                      \r\n"
    "\r\n"
    "Welcome to 3D modeling and anaglyphing!\r\n"
    "\r\n"
    "You may need to read the manual to learn scripting if you want to do modeling, "
    "since at least several commands are to be input to see results.\r\n"
    "\r\n"
    "If you want to display image files without modeling, sometimes you don't have to "
    "script but just enter the commands directly into the command window. Read the manual "
    "to know the commands needed to display files. You don't have to type a long file path "
    "but just drop the file into the command window for the path to show at the caret.\r\n"
    "\r\n"
    "Enter \"help\" into the command window to open the manual by your browser.";

// The welcome canvas: white, then the text word-wrapped inside a rectangle 2
// pixels in at the left and right and 1 at the top and bottom. That shrunk
// rectangle stays in CanvasView until the next canvas command.
static void ShowWelcome(void)
{
    HDC dc = CanvasDC(LeftCanvas);
    SelectCanvas(LeftCanvas, 0);
    ShowCanvasWindow();
    GetViewRect(&CanvasView);
    FillRect(dc, &CanvasView.rect, (HBRUSH)GetStockObject(WHITE_BRUSH));
    InflateRect(&CanvasView.rect, -2, -1);
    DrawTextA(dc, WelcomeText, -1, &CanvasView.rect, DT_WORDBREAK);
    RefreshCanvas(0, -1);
}

extern "C" TESSELIN_EXPORT int ZILTOR_CALL ZiltorH_Load(const char **name, HostEntry *table)
{
    HostTable = table;
    if (name)
        *name = DisplayName;
    LeftCanvas = CreateCanvas(400, 300);
    // Without a canvas there is nothing to draw on; the commands behind the
    // canvas gate answer "No canvas" until a canvas command makes one.
    if (LeftCanvas)
        ShowWelcome();
    return 0;
}

extern "C" TESSELIN_EXPORT int ZILTOR_CALL ZiltorH_Unload(void)
{
    if (LeftCanvas)
        DestroyCanvas(LeftCanvas);
    if (RightCanvas)
        DestroyCanvas(RightCanvas);
    if (Quadric)
        gluDeleteQuadric(Quadric);
    LeftCanvas = RightCanvas = NULL;
    Quadric = NULL;
    ReleasePointArrays();
    free(ArraySlots);
    ArraySlots = NULL;
    free(ArrayLengths);
    ArrayLengths = NULL;
    return 0;
}
