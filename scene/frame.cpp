// Starting and ending a model frame.
#include "plugin/tesselin.h"
#include "scene/scene.h"

// One token clears depth only, so a frame can be drawn over the last one; four
// tokens give a new background colour and clear both buffers.
const char *CommandClear(int count, char **tokens)
{
    if (count == 1) {
        glClear(GL_DEPTH_BUFFER_BIT);
        return NULL;
    }
    if (count != 4)
        return WrongTokenCount();
    ParseVector3(WorkVector, tokens, 1);
    glClearColor(WorkVector[0], WorkVector[1], WorkVector[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return NULL;
}

// The host ends the frame and shows it; its answer is not needed.
const char *CommandFinish(int count, char **)
{
    if (count != 1)
        return WrongTokenCount();
    FinishModel();
    return NULL;
}
