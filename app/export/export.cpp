#include "app/export/export.h"
#include "app/export/gltf.h"
#include "app/export/mesh_files.h"
#include "app/export/page.h"
#include "app/process/output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tesselin {

namespace {

bool WriteText(const std::string &path, const std::string &text, std::string &error)
{
    return WriteOutputFile(
        path,
        [&text](std::FILE *stream, std::string &reason) {
            if (std::fwrite(text.data(), 1, text.size(), stream) == text.size())
                return true;
            reason = std::strerror(errno);
            return false;
        },
        error);
}

bool WriteGlbFile(const Model &model, const std::string &path, const std::string &title, std::string &error)
{
    return WriteOutputFile(
        path,
        [&](std::FILE *stream, std::string &reason) {
            bool written = WriteGlb(model, title, [stream](const void *data, std::size_t size) {
                return std::fwrite(data, 1, size, stream) == size;
            });
            if (!written)
                reason = errno ? std::strerror(errno) : "the model is larger than a .glb can hold (4 GB)";
            return written;
        },
        error);
}

// The .obj names its .mtl by the file name alone: they stay side by side.
bool WriteObjFiles(const Model &model, const std::string &path, const std::string &title, std::string &error)
{
    std::filesystem::path mtl = std::filesystem::path(path).replace_extension(".mtl");
    ObjFiles files = ObjText(model, mtl.filename().string(), title);
    return WriteText(mtl.string(), files.mtl, error) && WriteText(path, files.obj, error);
}

} // namespace

std::optional<ExportFormat> ExportFormatOf(const std::string &path)
{
    std::string extension = LowerExtension(path);
    if (extension == ".glb")
        return ExportFormat::Glb;
    if (extension == ".gltf")
        return ExportFormat::Gltf;
    if (extension == ".obj")
        return ExportFormat::Obj;
    if (extension == ".stl")
        return ExportFormat::Stl;
    if (extension == ".html" || extension == ".htm")
        return ExportFormat::Html;
    return std::nullopt;
}

std::string ExportFormatProblem(const std::string &path)
{
    if (ExportFormatOf(path))
        return {};
    return "an export is written as .glb, .gltf, .obj, .stl or .html, which " + path + " is not";
}

bool WriteModel(const Model &model, const std::string &path, const std::string &title, const ExportSay &say)
{
    auto format = ExportFormatOf(path);
    if (!format) {
        say(Severity::Error, ExportFormatProblem(path));
        return false;
    }
    std::string error;
    bool ok = false;
    errno = 0;
    switch (*format) {
    case ExportFormat::Glb:
        ok = WriteGlbFile(model, path, title, error);
        break;
    case ExportFormat::Gltf:
        ok = WriteText(path, GltfText(model, title), error);
        break;
    case ExportFormat::Obj:
        ok = WriteObjFiles(model, path, title, error);
        break;
    case ExportFormat::Stl: {
        if (model.Count(PrimitiveKind::Triangles) == 0) {
            say(Severity::Error, "the frame has no surfaces, and an STL file holds triangles only; " + path +
                                     " was not written");
            return false;
        }
        std::size_t left = model.Count(PrimitiveKind::Lines) + model.Count(PrimitiveKind::Points);
        if (left > 0)
            say(Severity::Warning, std::to_string(left) + " lines and dots are left out of " + path +
                                       ": an STL file holds triangles only");
        ok = WriteText(path, StlBytes(model, title), error);
        break;
    }
    case ExportFormat::Html:
        ok = WriteText(path, PageHtml(GlbBytes(model, title), title), error);
        break;
    }
    if (!ok)
        say(Severity::Error, error.empty() ? "cannot write " + path : error);
    return ok;
}

} // namespace tesselin
