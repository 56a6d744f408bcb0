// Transforms of whatever matrix is current in the host's context. Stack
// overflow and underflow are left to OpenGL's error state.
#include "plugin/tesselin.h"
#include "scene/scene.h"

#include <stdlib.h>

const char *CommandPush(int count, char **)
{
    if (count != 1)
        return WrongTokenCount();
    glPushMatrix();
    return NULL;
}

const char *CommandPop(int count, char **)
{
    if (count != 1)
        return WrongTokenCount();
    glPopMatrix();
    return NULL;
}

// rotate angle x y z: degrees about the axis (x, y, z).
const char *CommandRotate(int count, char **tokens)
{
    if (count != 5)
        return WrongTokenCount();
    glRotatef((float)atof(tokens[1]), (float)atof(tokens[2]), (float)atof(tokens[3]), (float)atof(tokens[4]));
    return NULL;
}

const char *CommandScale(int count, char **tokens)
{
    if (count != 4)
        return WrongTokenCount();
    glScalef((float)atof(tokens[1]), (float)atof(tokens[2]), (float)atof(tokens[3]));
    return NULL;
}

const char *CommandMove(int count, char **tokens)
{
    if (count != 4)
        return WrongTokenCount();
    glTranslatef((float)atof(tokens[1]), (float)atof(tokens[2]), (float)atof(tokens[3]));
    return NULL;
}
