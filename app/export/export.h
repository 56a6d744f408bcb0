// Writing a model to a file whose extension names the format: .glb, .gltf,
// .obj (with a .mtl beside it), .stl or .html (a page that shows it).
#ifndef TESSELIN_APP_EXPORT_EXPORT_H
#define TESSELIN_APP_EXPORT_EXPORT_H

#include "app/export/model.h"
#include "app/process/message.h"

#include <functional>
#include <optional>
#include <string>

namespace tesselin {

enum class ExportFormat { Glb, Gltf, Obj, Stl, Html };

// The format path's extension names (any case), or none.
std::optional<ExportFormat> ExportFormatOf(const std::string &path);
// What --export says about a path it cannot write, or empty when it can.
std::string ExportFormatProblem(const std::string &path);

using ExportSay = std::function<void(Severity severity, const std::string &text)>;

// Writes model to path; title names it inside the file. False, with the
// reason said as an error, when it cannot be written (an older file at path
// is left whole then). Warnings say what the format leaves out.
bool WriteModel(const Model &model, const std::string &path, const std::string &title, const ExportSay &say);

} // namespace tesselin

#endif
