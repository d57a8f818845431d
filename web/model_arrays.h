/* The arrays that a view draws and an export writes of a decoded mesh:
   the quads whose corners are all finite, the vertices they name (kept in
   their order and numbered anew), each vertex's normal of unit length by
   the exporters' rule (the floats of dozu_mesh_unit_normals, in a pass
   over the vertices and, where a normal is too short, one over the
   quads), the quads counter-clockwise seen from outside, two triangles per
   quad (one that names a vertex twice left out) and the quads' edges.
   The batch tool's exporters keep and number the same vertices and
   quads. */
#ifndef DOZU_WEB_MODEL_ARRAYS_H
#define DOZU_WEB_MODEL_ARRAYS_H

#include "runtime/dozu_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct dz_model_arrays {
    /* 6 floats per vertex: the unit normal, then the position. They and the
       quads live in the decoded mesh's own storage, which they replace. */
    float* vertices;
    uint32_t vertex_count;
    uint32_t* quads; /* 4 per quad */
    uint32_t quad_count;
    uint32_t* triangles; /* 3 per triangle */
    uint32_t triangle_count;
    /* 2 per edge, the four of each quad: lines, which a software renderer
       draws far faster than strips with primitive restart */
    uint32_t* edges;
    uint32_t edge_count;
    /* The box around the vertices: its centre and half its diagonal. */
    float bounds[4];
} dz_model_arrays;

/* Turns the mesh into its arrays; out's triangles and edges are allocated,
   the rest is the mesh's. Returns DOZU_OK or DOZU_ERROR_MEMORY (the mesh is
   then spoilt: release it). */
int dz_model_arrays_make(dozu_mesh* mesh, dz_model_arrays* out, const dozu_allocator* alloc);
/* Releases what dz_model_arrays_make allocated (not the mesh). */
void dz_model_arrays_release(dz_model_arrays* arrays, const dozu_allocator* alloc);

#ifdef __cplusplus
}
#endif

#endif /* DOZU_WEB_MODEL_ARRAYS_H */
