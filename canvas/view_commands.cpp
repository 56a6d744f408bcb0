// Commands that hand a request to the host or the shell and work with or
// without a canvas: help, copy, anaglyph and stop.
#include "plugin/tesselin.h"
#include "canvas/canvas.h"

#ifdef _WIN32
#include <shellapi.h>
#endif

static const char *const ManualName = "manual.htm";

// Opens the manual in the current directory with the shell's default action.
// The path stays in MessageBuffer; when it does not fit there, nothing opens
// and the buffer is left empty.
const char *CommandHelp(int count, char **)
{
    if (count != 1)
        return WrongTokenCount();
    if (JoinCurrentDirectory(MessageBuffer, MESSAGE_BUFFER_SIZE, ManualName))
        ShellExecuteA(NULL, NULL, MessageBuffer, NULL, NULL, SW_SHOWNORMAL);
    return NULL;
}

const char *CommandCopy(int count, char **)
{
    if (count != 1)
        return WrongTokenCount();
    CopyCanvas();
    return NULL;
}

// A component times 255, formed in double and truncated toward zero, so 1
// gives 255 and 0.5 gives 127. Components outside 0 to 1 are held to the
// channel's range rather than spilling into the next channel's bits; NaN is 0.
static COLORREF ChannelValue(float component)
{
    double value = (double)component * 255.0;
    if (!(value > 0.0))
        return 0;
    if (value >= 255.0)
        return 255;
    return (COLORREF)value;
}

static COLORREF ColourValue(const float *rgb)
{
    return ChannelValue(rgb[0]) | ChannelValue(rgb[1]) << 8 | ChannelValue(rgb[2]) << 16;
}

const char *CommandAnaglyph(int count, char **tokens)
{
    if (count != 7)
        return WrongTokenCount();
    ParseVector3(WorkVector, tokens, 1);
    COLORREF left = ColourValue(WorkVector);
    ParseVector3(WorkVector, tokens, 4);
    COLORREF right = ColourValue(WorkVector);
    MakeAnaglyph(left, right);
    RefreshCanvas(0, 0);
    return NULL;
}

const char *CommandStop(int count, char **tokens)
{
    if (count != 1 && count != 2)
        return WrongTokenCount();
    StopRun(count == 2 ? tokens[1] : NULL);
    return NULL;
}
