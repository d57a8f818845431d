#include "export/mesh_format.h"

#include <algorithm>
#include <cctype>

#include "export/gltf_writer.h"
#include "export/obj_writer.h"
#include "export/ply_writer.h"
#include "export/stl_writer.h"
#include "export/threemf_writer.h"
#include "io/byte_sink.h"
#include "io/file_io.h"

namespace dozu {

const std::vector<MeshFormatInfo>& mesh_formats() {
    static const std::vector<MeshFormatInfo> formats = {
        {MeshFormat::obj, "obj", "Wavefront OBJ"},    {MeshFormat::ply, "ply", "PLY, binary"},
        {MeshFormat::stl, "stl", "STL, binary"},      {MeshFormat::glb, "glb", "glTF 2.0, binary"},
        {MeshFormat::gltf, "gltf", "glTF 2.0, JSON"}, {MeshFormat::three_mf, "3mf", "3D Manufacturing Format"},
    };
    return formats;
}

const MeshFormatInfo& mesh_format_info(MeshFormat format) {
    for (const MeshFormatInfo& info : mesh_formats())
        if (info.format == format) return info;
    return mesh_formats().front();
}

bool mesh_format_of(const std::string& path, MeshFormat& format) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const MeshFormatInfo& info : mesh_formats()) {
        if (ext != info.extension) continue;
        format = info.format;
        return true;
    }
    return false;
}

void write_mesh(ByteSink& sink, const CompactMesh& mesh, MeshFormat format, const ExportOptions& options) {
    switch (format) {
        case MeshFormat::obj: return write_obj(sink, mesh, options);
        case MeshFormat::ply: return write_ply(sink, mesh, options);
        case MeshFormat::stl: return write_stl(sink, mesh, options);
        case MeshFormat::glb: return write_gltf(sink, mesh, options, true);
        case MeshFormat::gltf: return write_gltf(sink, mesh, options, false);
        case MeshFormat::three_mf: return write_3mf(sink, mesh, options);
    }
}

void write_mesh_file(const std::string& path, const CompactMesh& mesh, MeshFormat format,
                     const ExportOptions& options) {
    write_file(path, [&](ByteSink& sink) { write_mesh(sink, mesh, format, options); });
}

}  // namespace dozu
