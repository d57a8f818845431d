// 3MF for slicers: the package (a zip archive, through libzip) with one
// model part written here as XML, every number with enough digits to read
// back as the same single-precision value.
#include <zip.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "editor/byte_sink.h"
#include "editor/mesh_export.h"

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

std::string xml_escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string model_part(const CompactMesh& mesh, const ExportOptions& options) {
    const std::vector<uint32_t> corners = triangles(mesh);
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<model unit=\"millimeter\" xml:lang=\"en-US\" "
        "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
        " <resources>\n";
    char buf[160];
    if (!corners.empty()) {
        xml += "  <object id=\"1\" name=\"" + xml_escaped(printable_utf8(options.name)) +
               "\" type=\"model\">\n   <mesh>\n    <vertices>\n";
        for (size_t v = 0; v < mesh.positions.size() / 3; ++v) {
            const std::array<float, 3> p = position(mesh, v, options);
            const int n = std::snprintf(buf, sizeof buf, "     <vertex x=\"%.9g\" y=\"%.9g\" z=\"%.9g\"/>\n",
                                        double(p[0]), double(p[1]), double(p[2]));
            xml.append(buf, size_t(n));
        }
        xml += "    </vertices>\n    <triangles>\n";
        for (size_t t = 0; t + 3 <= corners.size(); t += 3) {
            const int n = std::snprintf(buf, sizeof buf, "     <triangle v1=\"%u\" v2=\"%u\" v3=\"%u\"/>\n",
                                        corners[t], corners[t + 1], corners[t + 2]);
            xml.append(buf, size_t(n));
        }
        xml += "    </triangles>\n   </mesh>\n  </object>\n";
    }
    xml += " </resources>\n <build>\n";
    if (!corners.empty()) xml += "  <item objectid=\"1\"/>\n";
    xml += " </build>\n</model>\n";
    return xml;
}

[[noreturn]] void zip_failed(zip_error_t* error) {
    const std::string text = zip_error_strerror(error);
    throw std::runtime_error("cannot make the 3MF package: " + text);
}

struct SourceFree {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};

}  // namespace

void write_3mf(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options) {
    const std::string model = model_part(mesh, options);
    const struct Part {
        const char* name;
        const void* data;
        size_t size;
    } parts[] = {{"[Content_Types].xml", kContentTypes, sizeof kContentTypes - 1},
                 {"_rels/.rels", kRelationships, sizeof kRelationships - 1},
                 {"3D/3dmodel.model", model.data(), model.size()}};

    // The archive is made in memory, then handed to the sink.
    zip_error_t error;
    zip_error_init(&error);
    std::unique_ptr<zip_source_t, SourceFree> archive(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!archive) zip_failed(&error);
    zip_t* zip = zip_open_from_source(archive.get(), ZIP_TRUNCATE, &error);
    if (!zip) zip_failed(&error);
    zip_source_keep(archive.get());
    for (const Part& part : parts) {
        zip_source_t* source = zip_source_buffer(zip, part.data, part.size, 0);
        const zip_int64_t index = source ? zip_file_add(zip, part.name, source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source) zip_source_free(source);
            zip_error_set(&error, zip_error_code_zip(zip_get_error(zip)), 0);
            zip_discard(zip);
            zip_failed(&error);
        }
        // A fixed date, so that the same model gives the same bytes.
        zip_file_set_dostime(zip, zip_uint64_t(index), 0, (1 << 5) | 1, 0);
    }
    if (zip_close(zip) != 0) {
        zip_error_set(&error, zip_error_code_zip(zip_get_error(zip)), 0);
        zip_discard(zip);
        zip_failed(&error);
    }

    zip_source_t* bytes = archive.get();
    if (zip_source_open(bytes) != 0) zip_failed(zip_source_error(bytes));
    char buf[1 << 16];
    for (zip_int64_t n; (n = zip_source_read(bytes, buf, sizeof buf)) != 0;) {
        if (n < 0) {
            zip_source_close(bytes);
            zip_failed(zip_source_error(bytes));
        }
        sink.write(buf, size_t(n));
    }
    zip_source_close(bytes);
    zip_error_fini(&error);
}

}  // namespace dozu
