#include "web/model_arrays.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

/* Shorter normals point nowhere reliable: rounding alone moves the
   decoder's by about 1e-6. */
#define DZ_TINY_NORMAL 1e-4

static void* dz_allocate(const dozu_allocator* a, size_t bytes) {
    if (bytes == 0) bytes = 1;
    return a ? a->allocate(a->user, bytes) : malloc(bytes);
}

static void dz_free(const dozu_allocator* a, void* p) {
    if (!p) return;
    if (a)
        a->release(a->user, p);
    else
        free(p);
}

/* A bit per vertex. */
typedef unsigned char dz_bits;
static int dz_bit(const dz_bits* bits, uint32_t v) { return bits[v >> 3] >> (v & 7) & 1; }
static void dz_set(dz_bits* bits, uint32_t v) { bits[v >> 3] |= (dz_bits)(1u << (v & 7)); }

/* What a making of the arrays works with: the vertices with a finite
   position, those the kept quads name, those whose normal is too short to
   have a direction (listed too), and the kept quads that name one. */
typedef struct dz_work {
    dz_bits *finite, *named, *tiny;
    uint32_t *tiny_list, tiny_count, *tiny_quads, tiny_quad_count;
} dz_work;

/* Makes the normals of unit length in double precision, as the exporters
   do, marks the finite vertices and lists those with a tiny normal; all in
   one pass. */
static void dz_vertex_pass(dozu_mesh* mesh, dz_work* w) {
    float* r = mesh->vertices;
    uint32_t v;
    for (v = 0; v < mesh->vertex_count; ++v, r += 6) {
        const double length = sqrt((double)r[0] * r[0] + (double)r[1] * r[1] + (double)r[2] * r[2]);
        if (isfinite(r[3]) && isfinite(r[4]) && isfinite(r[5])) dz_set(w->finite, v);
        if (length > DZ_TINY_NORMAL && isfinite(length)) {
            r[0] = (float)(r[0] / length);
            r[1] = (float)(r[1] / length);
            r[2] = (float)(r[2] / length);
        } else {
            dz_set(w->tiny, v);
            w->tiny_list[w->tiny_count++] = v;
        }
    }
}

/* Whether three corners are three vertices. */
static int dz_distinct(uint32_t a, uint32_t b, uint32_t c) { return a != b && b != c && c != a; }

/* Keeps the quads whose corners are in the mesh and finite, turned
   counter-clockwise seen from outside (taken backwards from the same first
   corner) and moved to the front, with their triangles and edges; marks
   the vertices they name and lists the kept quads that name a tiny one.
   Returns how many stay. */
static uint32_t dz_quad_pass(dozu_mesh* mesh, dz_model_arrays* out, dz_work* w) {
    const uint32_t V = mesh->vertex_count, quads = mesh->index_count / 4;
    uint32_t *q = mesh->indices, *kept = q, *t = out->triangles, *e = out->edges, i;
    for (i = 0; i < quads; ++i, q += 4) {
        const uint32_t n0 = q[0], n1 = q[3], n2 = q[2], n3 = q[1];
        if (n0 >= V || n1 >= V || n2 >= V || n3 >= V || !dz_bit(w->finite, n0) || !dz_bit(w->finite, n1) ||
            !dz_bit(w->finite, n2) || !dz_bit(w->finite, n3))
            continue;
        dz_set(w->named, n0), dz_set(w->named, n1), dz_set(w->named, n2), dz_set(w->named, n3);
        if (w->tiny_count &&
            (dz_bit(w->tiny, n0) | dz_bit(w->tiny, n1) | dz_bit(w->tiny, n2) | dz_bit(w->tiny, n3)))
            w->tiny_quads[w->tiny_quad_count++] = (uint32_t)(kept - mesh->indices) / 4;
        if (dz_distinct(n0, n1, n2)) t[0] = n0, t[1] = n1, t[2] = n2, t += 3;
        if (dz_distinct(n0, n2, n3)) t[0] = n0, t[1] = n2, t[2] = n3, t += 3;
        e[0] = e[7] = kept[0] = n0;
        e[1] = e[2] = kept[1] = n1;
        e[3] = e[4] = kept[2] = n2;
        e[5] = e[6] = kept[3] = n3;
        e += 8, kept += 4;
    }
    out->triangle_count = (uint32_t)((size_t)(t - out->triangles) / 3);
    out->edge_count = 4 * (uint32_t)((size_t)(kept - mesh->indices) / 4);
    return out->edge_count / 4;
}

/* Drops the vertices that no kept quad names, numbering the others anew in
   their order, where there are any. */
static int dz_compact(dozu_mesh* mesh, dz_model_arrays* out, dz_work* w, uint32_t quads,
                      const dozu_allocator* alloc) {
    uint32_t *number, v, n = 0, i, slot = 0;
    for (v = 0; v < mesh->vertex_count && dz_bit(w->named, v); ++v) {
    }
    if (v == mesh->vertex_count) return 1;
    number = (uint32_t*)dz_allocate(alloc, (size_t)mesh->vertex_count * sizeof(uint32_t));
    if (!number) return 0;
    for (v = 0; v < mesh->vertex_count; ++v) {
        if (!dz_bit(w->named, v)) continue;
        if (n != v) memcpy(mesh->vertices + 6 * (size_t)n, mesh->vertices + 6 * (size_t)v, 6 * sizeof(float));
        number[v] = n++;
    }
    for (i = 0; i < 4 * quads; ++i) mesh->indices[i] = number[mesh->indices[i]];
    for (i = 0; i < 3 * out->triangle_count; ++i) out->triangles[i] = number[out->triangles[i]];
    for (i = 0; i < 8 * quads; ++i) out->edges[i] = number[out->edges[i]];
    for (i = 0; i < w->tiny_count; ++i)
        if (dz_bit(w->named, w->tiny_list[i])) w->tiny_list[slot++] = number[w->tiny_list[i]];
    memset(w->tiny, 0, mesh->vertex_count / 8 + 1);
    for (i = 0; i < slot; ++i) dz_set(w->tiny, w->tiny_list[i]);
    w->tiny_count = slot;
    mesh->vertex_count = n;
    dz_free(alloc, number);
    return 1;
}

/* A tiny normal becomes the area-weighted mean of the normals of the kept
   quads that name it, or 0 0 1 where those have no area. The quads run
   counter-clockwise: their diagonals span twice the area vector, which
   points outside. */
static int dz_mean_normals(dozu_mesh* mesh, const dz_work* w, const dozu_allocator* alloc) {
    double* sums = (double*)dz_allocate(alloc, 3 * (size_t)w->tiny_count * sizeof(double));
    uint32_t i, slot;
    int k, j;
    if (!sums) return 0;
    memset(sums, 0, 3 * (size_t)w->tiny_count * sizeof(double));
    for (i = 0; i < w->tiny_quad_count; ++i) {
        const uint32_t* q = mesh->indices + 4 * (size_t)w->tiny_quads[i];
        const float* p[4];
        double e[3], f[3], area[3];
        for (k = 0; k < 4; ++k) p[k] = mesh->vertices + 6 * (size_t)q[k] + 3;
        for (j = 0; j < 3; ++j) {
            e[j] = (double)p[2][j] - p[0][j];
            f[j] = (double)p[3][j] - p[1][j];
        }
        area[0] = e[1] * f[2] - e[2] * f[1];
        area[1] = e[2] * f[0] - e[0] * f[2];
        area[2] = e[0] * f[1] - e[1] * f[0];
        for (k = 0; k < 4; ++k) {
            uint32_t low = 0, high = w->tiny_count;
            if (!dz_bit(w->tiny, q[k])) continue;
            while (low < high) {
                const uint32_t middle = low + (high - low) / 2;
                if (w->tiny_list[middle] < q[k])
                    low = middle + 1;
                else
                    high = middle;
            }
            for (j = 0; j < 3; ++j) sums[3 * (size_t)low + (size_t)j] += area[j];
        }
    }
    for (slot = 0; slot < w->tiny_count; ++slot) {
        const double* s = sums + 3 * (size_t)slot;
        const double length = sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        float* n = mesh->vertices + 6 * (size_t)w->tiny_list[slot];
        for (j = 0; j < 3; ++j)
            n[j] = length > 0 && isfinite(length) ? (float)(s[j] / length) : j == 2 ? 1.0f : 0.0f;
    }
    dz_free(alloc, sums);
    return 1;
}

/* The box around the vertices: its centre and the larger half of its
   diagonal. */
static void dz_bounds(const dozu_mesh* mesh, float bounds[4]) {
    float low[3] = {0, 0, 0}, high[3] = {0, 0, 0}, a = 0, b = 0;
    const float* r = mesh->vertices + 3;
    uint32_t v;
    int k;
    for (v = 0; v < mesh->vertex_count; ++v, r += 6)
        for (k = 0; k < 3; ++k) {
            if (v == 0 || r[k] < low[k]) low[k] = r[k];
            if (v == 0 || r[k] > high[k]) high[k] = r[k];
        }
    for (k = 0; k < 3; ++k) {
        bounds[k] = (low[k] + high[k]) * 0.5f;
        a += (high[k] - bounds[k]) * (high[k] - bounds[k]);
        b += (bounds[k] - low[k]) * (bounds[k] - low[k]);
    }
    bounds[3] = sqrtf(a > b ? a : b);
}

int dz_model_arrays_make(dozu_mesh* mesh, dz_model_arrays* out, const dozu_allocator* alloc) {
    const size_t V = mesh->vertex_count, Q = mesh->index_count / 4, bytes = V / 8 + 1;
    dz_work w;
    int ok;
    memset(out, 0, sizeof *out);
    memset(&w, 0, sizeof w);
    w.finite = (dz_bits*)dz_allocate(alloc, 3 * bytes);
    w.tiny_list = (uint32_t*)dz_allocate(alloc, V * sizeof(uint32_t));
    w.tiny_quads = (uint32_t*)dz_allocate(alloc, Q * sizeof(uint32_t));
    out->triangles = (uint32_t*)dz_allocate(alloc, 6 * Q * sizeof(uint32_t));
    out->edges = (uint32_t*)dz_allocate(alloc, 8 * Q * sizeof(uint32_t));
    ok = w.finite && w.tiny_list && w.tiny_quads && out->triangles && out->edges;
    if (ok) {
        memset(w.finite, 0, 3 * bytes);
        w.named = w.finite + bytes;
        w.tiny = w.named + bytes;
        dz_vertex_pass(mesh, &w);
        mesh->index_count = 4 * dz_quad_pass(mesh, out, &w);
        ok = dz_compact(mesh, out, &w, mesh->index_count / 4, alloc) &&
             (!w.tiny_count || dz_mean_normals(mesh, &w, alloc));
    }
    dz_free(alloc, w.finite);
    dz_free(alloc, w.tiny_list);
    dz_free(alloc, w.tiny_quads);
    if (!ok) {
        dz_model_arrays_release(out, alloc);
        return DOZU_ERROR_MEMORY;
    }
    dz_bounds(mesh, out->bounds);
    out->vertices = mesh->vertices;
    out->vertex_count = mesh->vertex_count;
    out->quads = mesh->indices;
    out->quad_count = mesh->index_count / 4;
    return DOZU_OK;
}

void dz_model_arrays_release(dz_model_arrays* arrays, const dozu_allocator* alloc) {
    dz_free(alloc, arrays->triangles);
    dz_free(alloc, arrays->edges);
    memset(arrays, 0, sizeof *arrays);
}
