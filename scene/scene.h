// Commands of the scene-state subsystem: lights, materials, transforms, styles.
#ifndef TESSELIN_SCENE_H
#define TESSELIN_SCENE_H

// Frame control
const char *CommandClear(int count, char **tokens);
const char *CommandFinish(int count, char **tokens);

// Light and materials
const char *CommandLight(int count, char **tokens);
const char *CommandAmbient(int count, char **tokens);
const char *CommandColor(int count, char **tokens);
const char *CommandDiffuse(int count, char **tokens);
const char *CommandShine(int count, char **tokens);
const char *CommandEmit(int count, char **tokens);

// Transforms of the current matrix
const char *CommandPush(int count, char **tokens);
const char *CommandPop(int count, char **tokens);
const char *CommandRotate(int count, char **tokens);
const char *CommandScale(int count, char **tokens);
const char *CommandMove(int count, char **tokens);

// Render style and facing
const char *CommandOut(int count, char **tokens);
const char *CommandIn(int count, char **tokens);
const char *CommandSolid(int count, char **tokens);
const char *CommandWire(int count, char **tokens);
const char *CommandDot(int count, char **tokens);

// Set RenderStyle or OrientationOutside and bring the polygon mode and the
// quadric in line with it. Without a quadric only the module-wide value and
// the polygon mode change.
void ApplySolidStyle(void);
void ApplyWireStyle(void);
void ApplyDotStyle(void);
void ApplyOutsideOrientation(void);
void ApplyInsideOrientation(void);

#endif
