// Graduated axes: one tick and one raster-text label per label token, along x
// (hgrad) or along y (vgrad), spaced evenly from the origin.
#include "plugin/tesselin.h"
#include "data/data.h"

#include <stdlib.h>

// Labels are lit like a solid of the colour and do not glow; ticks glow in it.
static void SetLabelMaterial(float *colour, char **tokens)
{
    colour[0] = colour[1] = colour[2] = 0.0f;
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, colour);
    ParseVector3(colour, tokens, 1);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
}

static void SetTickMaterial(float *colour, char **tokens)
{
    colour[0] = colour[1] = colour[2] = 0.0f;
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
    ParseVector3(colour, tokens, 1);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, colour);
}

// A label sits below its tick (hgrad) or left of it (vgrad), 0.3 of its own
// size off the axis; the tick rises on the other side.
static void DrawTick(char **tokens, float *colour, const char *label, float along, float length, int vertical)
{
    glPushMatrix();
    if (vertical)
        glTranslatef(0.0f, along, 0.0f);
    else
        glTranslatef(along, 0.0f, 0.0f);
    SetLabelMaterial(colour, tokens);
    if (vertical)
        RasterizeText(label, -0.8f, 0.0f, 2.0f);
    else
        RasterizeText(label, 0.0f, -0.8f, 2.0f);
    SetTickMaterial(colour, tokens);
    glBegin(GL_LINE_STRIP);
    glVertex3f(0.0f, 0.0f, 0.0f);
    if (vertical)
        glVertex3f(length, 0.0f, 0.0f);
    else
        glVertex3f(0.0f, length, 0.0f);
    glEnd();
    glPopMatrix();
}

int DrawGraduations(int count, char **tokens, float *colour, int vertical)
{
    if (count != 5 && count < 8)
        return 0;
    float length = (float)atof(tokens[4]);
    if (count == 5)
        return 1;
    float spacing = (float)atof(tokens[5]);
    for (int i = 6; i < count; i++) {
        float along = (float)(i - 6) * spacing;
        DrawTick(tokens, colour, tokens[i], along, length, vertical);
    }
    return 1;
}

const char *CommandHgrad(int count, char **tokens)
{
    return DrawGraduations(count, tokens, WorkVector, 0) ? NULL : WrongTokenCount();
}

const char *CommandVgrad(int count, char **tokens)
{
    return DrawGraduations(count, tokens, WorkVector, 1) ? NULL : WrongTokenCount();
}
