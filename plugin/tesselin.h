// Module-wide state and the helpers every command shares. All of it lives from
// ZiltorH_Load to ZiltorH_Unload and is touched only on the host's thread.
#ifndef TESSELIN_PLUGIN_H
#define TESSELIN_PLUGIN_H

#include "host/host_table.h"
#include "host/host_calls.h"
#include "platform/windows_calls.h"

#include <GL/gl.h>
#include <GL/glu.h>

#ifdef _WIN32
#define TESSELIN_EXPORT __declspec(dllexport)
#else
#define TESSELIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
TESSELIN_EXPORT int ZILTOR_CALL ZiltorH_Load(const char **name, HostEntry *table);
TESSELIN_EXPORT int ZILTOR_CALL ZiltorH_Unload(void);
TESSELIN_EXPORT const char *ZILTOR_CALL ZiltorH_Command(int count, char **tokens);
}

// Every command takes the token count (keyword included) and the tokens, and
// returns none on success or MessageBuffer holding the message.
typedef const char *(*CommandFn)(int count, char **tokens);

typedef float Vector[3];

enum { MESSAGE_BUFFER_SIZE = 260, TEXT_LINE_SIZE = 260, POINT_ARRAY_SLOTS = 3 };

// Indexes into MessageTexts.
enum MessageIndex {
    MSG_WRONG_NUMBER_OF_TOKENS,
    MSG_WRONG_TOKEN,
    MSG_TOO_LARGE_CANVAS,
    MSG_MODELING_NOT_BEGUN,
    MSG_TOO_MANY_ARRAYS,
    MSG_TOO_FEW_ARRAYS,
    MSG_ERROR_OPENING_FILE,
    MSG_EMPTY_ARRAY,
    MESSAGE_TEXT_COUNT
};

enum { STYLE_SOLID = 0, STYLE_WIRE = 1, STYLE_DOT = 2 };

extern HostEntry *HostTable;
extern CanvasRecord *LeftCanvas;
extern CanvasRecord *RightCanvas;
extern GLUquadric *Quadric;
extern ViewRecord CanvasView;
extern ViewRecord SceneView;
extern char MessageBuffer[MESSAGE_BUFFER_SIZE];
extern const char *const MessageTexts[MESSAGE_TEXT_COUNT];
// Texts outside the table: the canvas gate's error, the one warning, and the
// answer when memory for an array or a text line cannot be had.
extern const char *const NoCanvasText;
extern const char *const NoRightCanvasText;
extern const char *const NotEnoughMemoryText;
extern const float Pi;
extern const char *const OrthoKeyword;
extern const char *const FlatKeyword;

// Point-array store
extern int ArrayCount;
extern float **ArraySlots;
extern int *ArrayLengths;

// Scene state
extern int RenderStyle;
extern int OrientationOutside;
extern float TubeCentreRadius;
extern int SweepFlat;
extern int ProfileFlat;

// Per-call working values, reset at the start of every command.
extern float WorkVector[4];
extern float CornerBlock[12];
extern char TextLine[TEXT_LINE_SIZE];

const char *MakeError(char *buffer, const char *text);
const char *MakeWarning(char *buffer, const char *text);
const char *WrongTokenCount(void);
void ParseVector3(float *out, char **tokens, int first);
// A token read as atoi reads it, held to INT_MIN..INT_MAX beyond that range.
int TokenToInt(const char *token);
void ResetWorkingValues(void);

void ReleasePointArrays(void);
void ResetPointArrayStore(void);

// The device context of a canvas record (field 0).
HDC CanvasDC(const CanvasRecord *canvas);

#endif
