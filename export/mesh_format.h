// The mesh file formats dozu writes: their table (extension, title) for
// file dialogs and help, the format of a file name, and the writing of a
// compacted mesh in any of them.
#pragma once

#include <string>
#include <vector>

#include "export/compact_mesh.h"
#include "export/export_options.h"

namespace dozu {

class ByteSink;

enum class MeshFormat { obj, ply, stl, glb, gltf, three_mf };

struct MeshFormatInfo {
    MeshFormat format;
    const char* extension;  // without the dot, in lower case
    const char* title;      // for file dialogs and help
};
const std::vector<MeshFormatInfo>& mesh_formats();
const MeshFormatInfo& mesh_format_info(MeshFormat format);
// By the file name's extension, in any letter case; false for another one.
bool mesh_format_of(const std::string& path, MeshFormat& format);

void write_mesh(ByteSink& sink, const CompactMesh& mesh, MeshFormat format, const ExportOptions& options);
// Encodes and writes (see write_file); throws FileError.
void write_mesh_file(const std::string& path, const CompactMesh& mesh, MeshFormat format,
                     const ExportOptions& options);

}  // namespace dozu
