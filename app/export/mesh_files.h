// The model as Wavefront OBJ with its MTL (faces with normals, `l` lines and
// `p` dots, a material per look: Kd, Ks, Ns, Ke), and as binary STL
// (triangles only, the facet normal from the vertices' winding).
#ifndef TESSELIN_APP_EXPORT_MESH_FILES_H
#define TESSELIN_APP_EXPORT_MESH_FILES_H

#include "app/export/model.h"

#include <string>

namespace tesselin {

struct ObjFiles {
    std::string obj, mtl;
};
// mtlName is the .mtl's file name as the .obj refers to it.
ObjFiles ObjText(const Model &model, const std::string &mtlName, const std::string &title);

// The 80-byte header says what the file is and its unit.
std::string StlBytes(const Model &model, const std::string &title);

} // namespace tesselin

#endif
