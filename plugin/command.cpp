// The command interpreter: one table of keywords in dispatch order, with the
// two gates standing between them, and the message helpers every command uses.
#include "plugin/tesselin.h"
#include "canvas/canvas.h"
#include "scene/scene.h"
#include "geometry/geometry.h"
#include "data/data.h"

#include <stdlib.h>
#include <string.h>

// Copies as much of text as fits after prefix, always NUL-terminated: no
// message is ever built past the buffer.
static const char *BuildMessage(char *buffer, const char *prefix, const char *text)
{
    size_t used = 0;
    for (; *prefix && used + 1 < MESSAGE_BUFFER_SIZE; prefix++)
        buffer[used++] = *prefix;
    for (; *text && used + 1 < MESSAGE_BUFFER_SIZE; text++)
        buffer[used++] = *text;
    buffer[used] = '\0';
    return buffer;
}

const char *MakeError(char *buffer, const char *text)
{
    return BuildMessage(buffer, "Error! ", text);
}

const char *MakeWarning(char *buffer, const char *text)
{
    return BuildMessage(buffer, "Warning: ", text);
}

const char *WrongTokenCount(void)
{
    return MakeError(MessageBuffer, MessageTexts[MSG_WRONG_NUMBER_OF_TOKENS]);
}

void ParseVector3(float *out, char **tokens, int first)
{
    for (int i = 0; i < 3; i++)
        out[i] = (float)atof(tokens[first + i]);
}

void ResetWorkingValues(void)
{
    static const float UnitSquare[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    WorkVector[0] = WorkVector[1] = WorkVector[2] = 0.0f;
    WorkVector[3] = 1.0f;
    memcpy(CornerBlock, UnitSquare, sizeof CornerBlock);
    memset(TextLine, 0, sizeof TextLine);
}

// A gate returns none to let the command through, or the message that stops it.
static const char *CanvasGate(int, char **)
{
    return HasCanvas() ? NULL : MakeError(MessageBuffer, NoCanvasText);
}

static const char *ModelingGate(int, char **)
{
    return IsModeling() ? NULL : MakeError(MessageBuffer, MessageTexts[MSG_MODELING_NOT_BEGUN]);
}

typedef struct DispatchRow {
    const char *keyword; // none marks a gate, which every later keyword passes
    CommandFn run;
} DispatchRow;

static const DispatchRow DispatchTable[] = {
    {"help", CommandHelp},
    {"copy", CommandCopy},
    {"anaglyph", CommandAnaglyph},
    {"stop", CommandStop},
    {"canvas", CommandCanvas},
    {NULL, CanvasGate},
    {"erase", CommandErase},
    {"picture", CommandPicture},
    {NULL, ModelingGate},
    {"clear", CommandClear},
    {"finish", CommandFinish},
    {"light", CommandLight},
    {"ambient", CommandAmbient},
    {"push", CommandPush},
    {"pop", CommandPop},
    {"rotate", CommandRotate},
    {"scale", CommandScale},
    {"move", CommandMove},
    {"color", CommandColor},
    {"diffuse", CommandDiffuse},
    {"shine", CommandShine},
    {"emit", CommandEmit},
    {"out", CommandOut},
    {"in", CommandIn},
    {"solid", CommandSolid},
    {"wire", CommandWire},
    {"dot", CommandDot},
    {"triad", CommandTriad},
    {"quad", CommandQuad},
    {"polygon", CommandPolygon},
    {"disk", CommandDisk},
    {"pipe", CommandPipe},
    {"horn", CommandHorn},
    {"cube", CommandCube},
    {"sphere", CommandSphere},
    {"cylinder", CommandCylinder},
    {"torus", CommandTorus},
    {"array", CommandArray},
    {"arrayf", CommandArrayFile},
    {"line", CommandDrawArrays},
    {"dots", CommandDrawArrays},
    {"text", CommandText},
    {"hgrad", CommandHgrad},
    {"vgrad", CommandVgrad},
};

extern "C" TESSELIN_EXPORT const char *ZILTOR_CALL ZiltorH_Command(int count, char **tokens)
{
    if (count < 1 || !tokens || !tokens[0])
        return NULL;
    ResetWorkingValues();
    for (const DispatchRow &row : DispatchTable) {
        if (!row.keyword) {
            const char *stop = row.run(count, tokens);
            if (stop)
                return stop;
        } else if (strcmp(row.keyword, tokens[0]) == 0) {
            return row.run(count, tokens);
        }
    }
    return MakeError(MessageBuffer, MessageTexts[MSG_WRONG_TOKEN]);
}
