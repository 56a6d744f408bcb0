// The one light: lighting on, its direction and its ambient colour.
#include "plugin/tesselin.h"
#include "scene/scene.h"

// The light is always directional: w = 0 makes (x, y, z) a direction, turned
// by whatever model-view matrix is in force now.
const char *CommandLight(int count, char **tokens)
{
    if (count != 1 && count != 4)
        return WrongTokenCount();
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    if (count == 4) {
        ParseVector3(WorkVector, tokens, 1);
        WorkVector[3] = 0.0f;
        glLightfv(GL_LIGHT0, GL_POSITION, WorkVector);
    }
    return NULL;
}

const char *CommandAmbient(int count, char **tokens)
{
    if (count != 4)
        return WrongTokenCount();
    ParseVector3(WorkVector, tokens, 1);
    glLightfv(GL_LIGHT0, GL_AMBIENT, WorkVector);
    return NULL;
}
