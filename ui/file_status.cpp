#include "ui/file_status.h"

#include "ui/path_bytes.h"

namespace dozu {

namespace {

QString counted(unsigned long long n, const char* one, const char* many) {
    return QString("%1 %2").arg(n).arg(n == 1 ? one : many);
}

}  // namespace

QString saved_status(const QString& path, size_t lines, bool compiled) {
    return QString("Saved %1%2: %3")
        .arg(shown_file_name(path), compiled ? " (compiled)" : "", counted(lines, "line", "lines"));
}

QString exported_status(const QString& path, const CompactMesh& mesh, MeshFormat format) {
    const bool quads = format == MeshFormat::obj || format == MeshFormat::ply;
    return QString("Exported %1: %2, %3")
        .arg(shown_file_name(path), counted(mesh.vertex_count(), "vertex", "vertices"),
             quads ? counted(mesh.quad_count(), "quad", "quads")
                   : counted(mesh.triangle_count(), "triangle", "triangles"));
}

}  // namespace dozu
