// 3MF for slicers: the package (a ZIP archive) with one model part written
// here as XML, every number the shortest text that reads back as the same
// single-precision value, streamed into the archive as it is made.
#include "export/threemf_writer.h"

#include <string>

#include "io/byte_sink.h"
#include "io/out_buffer.h"
#include "io/text_escape.h"
#include "io/zip_writer.h"

namespace dozu {

namespace {

const char kContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"model\" ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/>"
    "</Types>\n";

const char kRelationships[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
    "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/>"
    "</Relationships>\n";

const char kModelStart[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<model unit=\"millimeter\" xml:lang=\"en-US\" "
    "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
    " <resources>\n";

// The longest lines: three floats of at most 15 characters, three indices
// of at most 10.
constexpr uint64_t kVertexLine = 28 + 3 * 15, kTriangleLine = 34 + 3 * 10;

}  // namespace

void write_3mf(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options) {
    const bool empty = mesh.triangle_count() == 0;
    const std::string name = xml_attribute(options.name);
    const std::string object_start =
        "  <object id=\"1\" name=\"" + name + "\" type=\"model\">\n   <mesh>\n    <vertices>\n";
    const uint64_t bound = sizeof kModelStart + object_start.size() + 256 + kVertexLine * mesh.vertex_count() +
                           kTriangleLine * mesh.triangle_count();

    ZipWriter zip(sink);
    zip.add("[Content_Types].xml", kContentTypes);
    zip.add("_rels/.rels", kRelationships);
    OutBuffer xml(zip.begin("3D/3dmodel.model", bound));
    xml.put(kModelStart);
    if (!empty) {
        xml.put(object_start);
        mesh.for_each_vertex([&](uint32_t v) {
            const std::array<float, 3> p = position(mesh, v, options);
            xml.put("     <vertex x=\"");
            xml.put_float(p[0]);
            xml.put("\" y=\"");
            xml.put_float(p[1]);
            xml.put("\" z=\"");
            xml.put_float(p[2]);
            xml.put("\"/>\n");
        });
        xml.put("    </vertices>\n    <triangles>\n");
        mesh.for_each_triangle([&](const uint32_t* n, const uint32_t*) {
            xml.put("     <triangle v1=\"");
            xml.put_uint(n[0]);
            xml.put("\" v2=\"");
            xml.put_uint(n[1]);
            xml.put("\" v3=\"");
            xml.put_uint(n[2]);
            xml.put("\"/>\n");
        });
        xml.put("    </triangles>\n   </mesh>\n  </object>\n");
    }
    xml.put(" </resources>\n <build>\n");
    if (!empty) xml.put("  <item objectid=\"1\"/>\n");
    xml.put(" </build>\n</model>\n");
    xml.flush();
    zip.finish();
}

}  // namespace dozu
