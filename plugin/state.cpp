// The module-wide state of the plug-in, in one place.
#include "plugin/tesselin.h"

HostEntry *HostTable;
CanvasRecord *LeftCanvas;
CanvasRecord *RightCanvas;
GLUquadric *Quadric;
ViewRecord CanvasView;
ViewRecord SceneView;
char MessageBuffer[MESSAGE_BUFFER_SIZE];

const char *const NoCanvasText = "No canvas";
const char *const NoRightCanvasText = "No right canvas";
const char *const NotEnoughMemoryText = "Not enough memory";

const char *const MessageTexts[MESSAGE_TEXT_COUNT] = {
    "Wrong number of tokens",
    "A wrong token",
    "Too large canvas",
    "Modeling not begun",
    "Too many arrays",
    "Too few arrays",
    "Error in opening a file",
    "Empty array",
};

// The float nearest to 3.14159 (bits 0x40490FD0), not the float nearest to pi:
// angles of cylinders and tori are converted with exactly this value.
const float Pi = 3.14159f;
const char *const OrthoKeyword = "ortho";
const char *const FlatKeyword = "flat";

int ArrayCount;
float **ArraySlots;
int *ArrayLengths;

int RenderStyle = STYLE_SOLID;
int OrientationOutside = 1;
float TubeCentreRadius;
int SweepFlat;
int ProfileFlat;

float WorkVector[4];
float CornerBlock[12];
char TextLine[TEXT_LINE_SIZE];

HDC CanvasDC(const CanvasRecord *canvas)
{
    return canvas ? (HDC)canvas[CANVAS_FIELD_DC] : NULL;
}
