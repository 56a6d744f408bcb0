// The drawing colour and the one material shared by front and back faces.
// Colours keep the work vector's alpha of 1.
#include "plugin/tesselin.h"
#include "scene/scene.h"

#include <stdlib.h>

const char *CommandColor(int count, char **tokens)
{
    if (count != 4)
        return WrongTokenCount();
    ParseVector3(WorkVector, tokens, 1);
    glColor4fv(WorkVector);
    return NULL;
}

const char *CommandDiffuse(int count, char **tokens)
{
    if (count != 4)
        return WrongTokenCount();
    ParseVector3(WorkVector, tokens, 1);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, WorkVector);
    return NULL;
}

// The exponent is an integer and goes to OpenGL unchecked, before the colour.
const char *CommandShine(int count, char **tokens)
{
    if (count != 5)
        return WrongTokenCount();
    glMateriali(GL_FRONT_AND_BACK, GL_SHININESS, TokenToInt(tokens[1]));
    ParseVector3(WorkVector, tokens, 2);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, WorkVector);
    return NULL;
}

const char *CommandEmit(int count, char **tokens)
{
    if (count != 4)
        return WrongTokenCount();
    ParseVector3(WorkVector, tokens, 1);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, WorkVector);
    return NULL;
}
