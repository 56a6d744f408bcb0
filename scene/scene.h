// Commands of the scene-state subsystem: lights, materials, transforms, styles.
#ifndef TESSELIN_SCENE_H
#define TESSELIN_SCENE_H

#endif
