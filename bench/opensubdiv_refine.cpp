#include "opensubdiv_refine.h"

#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>

#include <memory>
#include <stdexcept>

namespace dozu::bench {

namespace {

using namespace OpenSubdiv;

// Views that let the refiner read and write the records in place.
struct ConstRecord {
    const float* f;
};
struct Record {
    float* f;

    operator ConstRecord() const { return {f}; }
    void Clear(void* = nullptr) {
        for (int i = 0; i < QuadMesh::kRecordFloats; ++i) f[i] = 0.0f;
    }
    void AddWithWeight(ConstRecord src, float weight) {
        for (int i = 0; i < QuadMesh::kRecordFloats; ++i) f[i] += weight * src.f[i];
    }
};
struct SourceRecords {
    const float* data;
    ConstRecord operator[](int i) const { return {data + size_t(i) * QuadMesh::kRecordFloats}; }
};
struct TargetRecords {
    float* data;
    Record operator[](int i) const { return {data + size_t(i) * QuadMesh::kRecordFloats}; }
};

}  // namespace

RefinedMesh opensubdiv_refine(const QuadMesh& mesh) {
    const int faces = int(mesh.index_count() / 4);
    std::vector<int> verts_per_face(size_t(faces), 4);

    Far::TopologyDescriptor desc;
    desc.numVertices = int(mesh.vertex_count());
    desc.numFaces = faces;
    desc.numVertsPerFace = verts_per_face.data();
    desc.vertIndicesPerFace = reinterpret_cast<const Far::Index*>(mesh.index_data());

    Sdc::Options sdc;
    sdc.SetVtxBoundaryInterpolation(Sdc::Options::VTX_BOUNDARY_EDGE_ONLY);
    using Factory = Far::TopologyRefinerFactory<Far::TopologyDescriptor>;
    std::unique_ptr<Far::TopologyRefiner> refiner(
        Factory::Create(desc, Factory::Options(Sdc::SCHEME_CATMARK, sdc)));
    if (!refiner) throw std::runtime_error("OpenSubdiv rejected the mesh");
    refiner->RefineUniform(Far::TopologyRefiner::UniformOptions(1));

    const Far::TopologyLevel& level = refiner->GetLevel(1);
    RefinedMesh out;
    out.vertices.resize(size_t(level.GetNumVertices()) * QuadMesh::kRecordFloats);
    const SourceRecords src{mesh.vertex_data()};
    TargetRecords dst{out.vertices.data()};
    Far::PrimvarRefiner(*refiner).Interpolate(1, src, dst);

    const int out_faces = level.GetNumFaces();
    out.indices.resize(size_t(out_faces) * 4);
    for (int f = 0; f < out_faces; ++f) {
        const Far::ConstIndexArray fv = level.GetFaceVertices(f);
        for (int k = 0; k < 4; ++k) out.indices[size_t(f) * 4 + size_t(k)] = uint32_t(fv[k]);
    }
    return out;
}

}  // namespace dozu::bench
