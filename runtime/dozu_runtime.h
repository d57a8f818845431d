/* dozu_runtime.h: rebuilds a dozu model from its program text, with the same
   floats and the same indices as the editor's own interpreter.

   C99 (and C++), no dependency beyond the C standard library and <math.h>.
   Declarations only, unless one source file of the program says
       #define DOZU_RUNTIME_IMPLEMENTATION
       #include "dozu_runtime.h"
   README.md beside this file shows how to pack a model and use the mesh. */
#ifndef DOZU_RUNTIME_H
#define DOZU_RUNTIME_H

/* Compiled as C89 its float arithmetic would differ from the editor's. */
#if !defined(__cplusplus) && (!defined(__STDC_VERSION__) || __STDC_VERSION__ < 199901L)
#error "dozu_runtime.h needs C99 or later, or C++"
#endif

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    DOZU_OK = 0,
    /* The program stopped at a fatal error, which a message names; the mesh
       holds what the program made before it, as the editor shows it. */
    DOZU_ERROR_FATAL = 1,
    /* An allocation failed outside a subdivision; the mesh is empty. */
    DOZU_ERROR_MEMORY = 2,
    /* out is NULL, program is NULL with a length above 0, or the length is
       2^31 or more. */
    DOZU_ERROR_ARGUMENT = 3
};

/* The output mesh: per vertex its normal (x y z, not of unit length) and its
   position (x y z); per quad four vertex indices, clockwise seen from
   outside. A vertex that no quad names may hold non-finite numbers. */
typedef struct dozu_mesh {
    float* vertices; /* 6 floats per vertex */
    uint32_t vertex_count;
    uint32_t* indices; /* 4 per quad */
    uint32_t index_count;
} dozu_mesh;

/* Memory for the decoder and the mesh. allocate returns a block aligned for
   any type, or NULL to refuse: a subdivision it refuses fails with "fatal
   error: mesh too large to subdivide", any other refusal with
   DOZU_ERROR_MEMORY. A NULL allocator means malloc and free. */
typedef struct dozu_allocator {
    void* (*allocate)(void* user, size_t bytes);
    void (*release)(void* user, void* block);
    void* user;
} dozu_allocator;

/* A message of the program: line counts from 0, text as the editor shows
   it ("error: stack underflow, pop statement ignored"). */
typedef void (*dozu_message_fn)(void* user, int line, const char* text);

/* The kind of a message, given with its text. */
enum { DOZU_MESSAGE_FATAL = 1, DOZU_MESSAGE_ERROR = 2, DOZU_MESSAGE_WARNING = 3, DOZU_MESSAGE_HINT = 4 };
/* A message with its kind; line counts from 0, or is -1 for a message about
   a whole file (dozu_tpg.h). */
typedef void (*dozu_report_fn)(void* user, int line, int kind, const char* text);

/* What a decode needs beyond the program text. */
typedef struct dozu_options {
    /* Runs only the first line_count lines, as the editor's trace mode does
       with line line_count - 1 selected: a branch left open then ends with
       "hint: stack depth is N" rather than an error. Negative: every line. */
    long line_count;
    /* 0: no cap. Otherwise the decode stops before any mesh (the turtle's,
       the output's or a subdivision's) would hold more than max_quads
       quads, with "fatal error: mesh too large: more than N quads" at the
       line of the statement that would make it. */
    uint32_t max_quads;
    dozu_report_fn report; /* may be NULL */
    void* user;
} dozu_options;

/* Decodes the program: its lines joined, each line its interpreter code and
   a blank (a line ends at every blank), e.g. "* S4 R2 = B ^ T ". Fills out
   (whose old contents are not released) and returns DOZU_OK or an error. */
int dozu_decode(const char* program, size_t length, dozu_mesh* out, const dozu_allocator* alloc);
/* The same, giving every message to report (which may be NULL). */
int dozu_decode_with_messages(const char* program, size_t length, dozu_mesh* out, const dozu_allocator* alloc,
                              dozu_message_fn report, void* user);
/* Fills options with every line, no cap and no report. */
void dozu_options_init(dozu_options* options);
/* The same as dozu_decode_with_messages, with options (NULL: those of
   dozu_options_init). */
int dozu_decode_with_options(const char* program, size_t length, dozu_mesh* out, const dozu_allocator* alloc,
                             const dozu_options* options);
/* Releases the mesh's arrays through the allocator it was made with. */
void dozu_mesh_release(dozu_mesh* mesh, const dozu_allocator* alloc);

/* Makes every normal of the mesh of unit length, as dozu's exporters write
   them: a normal shorter than 1e-4 (a cap's centre, where the decoder's
   normal is about zero and points nowhere) or not finite becomes the
   area-weighted mean of the normals of the quads that name it and whose
   corners are all finite, or 0 0 1 where those have no area. Returns
   DOZU_OK, or DOZU_ERROR_MEMORY when the allocator refuses the sums; the
   mesh then stays as it was. Compiled only where DOZU_RUNTIME_NORMALS is
   defined as well as DOZU_RUNTIME_IMPLEMENTATION, so that a decoder that
   needs no normals does not carry it. */
int dozu_mesh_unit_normals(dozu_mesh* mesh, const dozu_allocator* alloc);

/* The process-wide random sequence that the extrusion draws from: it starts
   at 0 with the process and goes on from decode to decode. */
uint32_t dozu_random_state(void);
void dozu_set_random_state(uint32_t state);

#ifdef __cplusplus
}
#endif

#endif /* DOZU_RUNTIME_H */

#ifdef DOZU_RUNTIME_IMPLEMENTATION
#ifndef DOZU_RUNTIME_IMPLEMENTED
#define DOZU_RUNTIME_IMPLEMENTED

#include <math.h>
#include <stdlib.h>
#include <string.h>

/* Every float operation is rounded on its own, as in the editor: a fused
   multiply-add would change the last bits. */
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#elif defined(__GNUC__)
#pragma GCC push_options
#pragma GCC optimize("fp-contract=off")
#endif

#ifndef DOZU_RUNTIME_INTERNAL
#define DOZU_RUNTIME_INTERNAL static
#endif

#if defined(__GNUC__)
#define DZR_APART __attribute__((noinline))
#else
#define DZR_APART
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef char dzr_float_is_binary32[sizeof(float) == 4 ? 1 : -1];

/* A growing array of bytes. */
typedef struct dzr_buf {
    unsigned char* p;
    size_t n, cap;
} dzr_buf;

/* The turtle's state; branches save whole copies of it. */
typedef struct dzr_frame {
    float position[3], radius, size, angle, heading[3], up[3];
    uint32_t base_ring[4], top_ring_start, next_vertex;
    uint8_t wind, base_offset;
    uint16_t face_flags; /* bits 0-3 side exits, 4 top exit, 5 set by a branch */
} dzr_frame;

typedef struct dzr {
    const dozu_allocator* alloc;
    dozu_report_fn report;
    void* user;
    uint32_t max_quads;
    /* stop: 1 when memory was refused, 2 when the cap on quads was
       reached; either way nothing more runs */
    int stop, line, depth, fatal, init_seen, first_seen, subdiv_seen, current_subdiv;
    /* the parameter being read, and the extrusion's offset and scale */
    int32_t acc;
    int negative, pending, add;
    float* target; /* the radius, size or angle it adds to, or the extrusion
                      parameter it replaces */
    float extrusion[2];
    uint32_t vertices_copied, indices_copied, offset;
    /* the turtle: its state, saved states, vertices (in the output mesh's
       records) and quads */
    dzr_frame s;
    dzr_buf stack, tv, ti;
    /* the output mesh: records (nx·w ny·w nz·w w x·w y·w z·w w) and quads */
    dzr_buf ov, oi;
} dzr;

static uint32_t dzr_random;

uint32_t dozu_random_state(void) { return dzr_random; }
void dozu_set_random_state(uint32_t state) { dzr_random = state; }

/* In [-1, 1): the low 23 bits of the next number as the mantissa of a float
   in [2, 4), less 3. */
static float dzr_random_symmetric(void) {
    uint32_t bits;
    float f;
    dzr_random = dzr_random * 1664525u + 1u;
    bits = (dzr_random & 0x7FFFFFu) | 0x40000000u;
    memcpy(&f, &bits, sizeof f);
    return f - 3.0f;
}

static void* dzr_alloc(const dozu_allocator* a, size_t bytes) {
    if (bytes == 0) bytes = 1;
    return a ? a->allocate(a->user, bytes) : malloc(bytes);
}

static void dzr_free(const dozu_allocator* a, void* p) {
    if (!p) return;
    if (a)
        a->release(a->user, p);
    else
        free(p);
}

/* How many items of size bytes b holds. */
#define DZR_COUNT(b, size) ((uint32_t)((b).n / (size)))

/* Appends bytes to b and returns where they go, or NULL after marking the
   decoder out of memory. */
static void* dzr_push(dzr* d, dzr_buf* b, size_t bytes) {
    if (d->stop) return NULL;
    if (b->cap - b->n < bytes) {
        size_t cap = b->cap ? b->cap : 256;
        unsigned char* p;
        while (cap - b->n < bytes) {
            if (cap > (size_t)-1 / 2) {
                d->stop = 1;
                return NULL;
            }
            cap *= 2;
        }
        p = (unsigned char*)dzr_alloc(d->alloc, cap);
        if (!p) {
            d->stop = 1;
            return NULL;
        }
        if (b->n) memcpy(p, b->p, b->n);
        dzr_free(d->alloc, b->p);
        b->p = p;
        b->cap = cap;
    }
    b->n += bytes;
    return b->p + b->n - bytes;
}

static void dzr_release(dzr* d, dzr_buf* b) {
    dzr_free(d->alloc, b->p);
    b->p = NULL;
    b->n = b->cap = 0;
}

/* Each message's text begins with its kind, as one byte that the report
   gives apart. */
#define DZR_FATAL "\1"
#define DZR_ERROR "\2"
#define DZR_HINT "\4"

/* A message on the current line, unless the decode has stopped. */
static void dzr_message(dzr* d, const char* text) {
    if (d->stop) return;
    if (d->report) d->report(d->user, d->line, text[0], text + 1);
}

DZR_APART static void dzr_fail(dzr* d, const char* text) {
    dzr_message(d, text);
    d->fatal = 1;
}

/* A message whose text is form with its "#" replaced by the decimal
   number n. */
static void dzr_message_number(dzr* d, const char* form, uint32_t n) {
    char text[80], digits[11], *p = digits + 10, *t = text;
    *p = 0;
    do *--p = (char)('0' + n % 10);
    while (n /= 10);
    for (; *form; ++form)
        if (*form == '#')
            while (*p) *t++ = *p++;
        else
            *t++ = *form;
    *t = 0;
    dzr_message(d, text);
}

/* Whether a mesh of this many quads passes the cap; if so the decode stops
   here, with a fatal error. */
static int dzr_too_many(dzr* d, uint64_t quads) {
    if (!d->max_quads || quads <= d->max_quads) return 0;
    dzr_message_number(d, DZR_FATAL "fatal error: mesh too large: more than # quads", d->max_quads);
    d->fatal = 1;
    d->stop = 2;
    return 1;
}

/* Room for one more quad in b, or NULL when the cap is reached or memory
   refused: then the decode stops, and the turtle, whose quads a decode
   never gives, lays no more, as the interpreter's lays none past the cap. */
static uint32_t* dzr_new_quad(dzr* d, dzr_buf* b) {
    if (dzr_too_many(d, DZR_COUNT(*b, 4 * sizeof(uint32_t)) + 1)) return NULL;
    return (uint32_t*)dzr_push(d, b, 4 * sizeof(uint32_t));
}

/* The interpreter forms v · (float)pi · (1/24) in x86's 64-bit-mantissa
   precision and rounds it to a float. In double precision the rounding
   errors stay too small to move that float: both give the same float for
   every 32-bit v (checked for all of them), and double is everywhere. */
DOZU_RUNTIME_INTERNAL float dzr_parameter_value(int32_t v) {
    return (float)((double)v * (double)3.14159274f * (1.0 / 24.0));
}

/* ---- the turtle ---- */

/* out = a × b; out is neither a nor b */
static void dzr_cross(float out[3], const float a[3], const float b[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

/* The corners of face n of the current cell: 0-3 its sides, 4 its top. */
static void dzr_face_corners(const dzr_frame* s, int n, uint32_t out[4]) {
    const uint32_t t = s->top_ring_start;
    const int k = s->base_offset, n1 = (n + 1) & 3;
    int i;
    if (n == 4) {
        for (i = 0; i < 4; ++i) out[i] = t + (uint32_t)i;
        return;
    }
    out[0] = s->base_ring[(n - k) & 3];
    out[1] = s->base_ring[(n1 - k) & 3];
    out[2] = t + (uint32_t)n1;
    out[3] = t + (uint32_t)n;
}

static void dzr_close_cell(dzr* d) {
    int n;
    for (n = 4; n >= 0; --n) {
        uint32_t* q;
        if (d->s.face_flags & (1u << n)) continue;
        q = dzr_new_quad(d, &d->ti);
        if (q) dzr_face_corners(&d->s, n, q);
    }
    d->s.face_flags = 0;
}

/* Moves one cell ahead and lays its ring of four vertices. */
static void dzr_step(dzr* d) {
    dzr_frame* s = &d->s;
    float dir, m[3], side[3], *v;
    int i, j;
    for (i = 0; i < 3; ++i) {
        dir = s->size * s->heading[i];
        s->position[i] = s->position[i] + dir;
        m[i] = s->position[i] + 0.5f * dir;
    }
    dzr_cross(side, s->heading, s->up);
    v = (float*)dzr_push(d, &d->tv, 32 * sizeof(float));
    if (!v) return;
    /* normals a = up + side, b = up - side, -a, -b; positions m + r·normal
       (m + r·-a is m - r·a, bit for bit); as records of the output mesh,
       of weight 1 */
    for (j = 0; j < 4; ++j, v += 8) {
        for (i = 0; i < 3; ++i) {
            const float x = j & 1 ? s->up[i] - side[i] : s->up[i] + side[i];
            v[i] = j & 2 ? -x : x;
            v[4 + i] = m[i] + s->radius * v[i];
        }
        v[3] = v[7] = 1.0f;
    }
    s->next_vertex += 4;
}

/* The Hamilton product r = a·b of quaternions (w, x, y, z), r neither a
   nor b. */
static void dzr_product(float r[4], const float a[4], const float b[4]) {
    int i;
    dzr_cross(r + 1, a + 1, b + 1);
    for (i = 1; i < 4; ++i) r[i] = r[i] + a[0] * b[i] + b[0] * a[i];
    r[0] = a[0] * b[0] - (a[1] * b[1] + a[2] * b[2] + a[3] * b[3]);
}

/* v := the vector part of q · (0, v) · q_bar */
static void dzr_rotate(float v[3], const float q[4], const float q_bar[4]) {
    float p[4], r[4];
    p[0] = 0.0f;
    memcpy(p + 1, v, 3 * sizeof(float));
    dzr_product(r, q, p);
    dzr_product(p, r, q_bar);
    memcpy(v, p + 1, 3 * sizeof(float));
}

/* Leaves the cell through the face that the pending turn and the wind
   choose, turns and steps. */
static void dzr_go(dzr* d) {
    dzr_frame* s = &d->s;
    unsigned k = s->wind;
    float theta = s->angle, side[3], axis[3], len, h, c, sn, q[4], q_bar[4];
    const float* from;
    uint32_t exit_face[4];
    int e, i;
    s->angle = 0.0f;
    if (!(theta >= 0.0f)) {
        theta = -theta;
        k += 2;
    }
    k &= 3;
    e = 3.14159274f * 0.25f >= theta ? 4 : (int)k;
    /* Bit 5 is only ever set with a saved state on the stack; without one
       the cell is closed now. */
    if ((s->face_flags & ~0x1Fu) == 0 || d->stack.n == 0) {
        s->face_flags = (uint16_t)(s->face_flags | (1u << e));
        dzr_close_cell(d);
    } else {
        dzr_frame* saved = (dzr_frame*)(d->stack.p + d->stack.n) - 1;
        saved->face_flags = (uint16_t)(saved->face_flags | (1u << e));
        s->face_flags = 0;
    }
    dzr_face_corners(s, e, exit_face);
    memcpy(s->base_ring, exit_face, sizeof exit_face);
    s->base_offset = (uint8_t)(e & 3);
    s->top_ring_start = s->next_vertex;

    dzr_cross(side, s->heading, s->up);
    /* turning about -side, -up, side or up */
    from = k & 1 ? s->up : side;
    for (i = 0; i < 3; ++i) axis[i] = k < 2 ? -from[i] : from[i];
    len = sqrtf(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (len > 0)
        for (i = 0; i < 3; ++i) axis[i] /= len;
    h = theta * 0.5f;
    c = (float)cos((double)h);
    sn = (float)sin((double)h);
    q[0] = q_bar[0] = -c;
    for (i = 0; i < 3; ++i) {
        q[1 + i] = sn * axis[i];
        q_bar[1 + i] = -q[1 + i];
    }
    dzr_rotate(s->heading, q, q_bar);
    dzr_rotate(s->up, q, q_bar);
    dzr_step(d);
}

static void dzr_push_state(dzr* d) {
    dzr_frame* saved = (dzr_frame*)dzr_push(d, &d->stack, sizeof(dzr_frame));
    if (!saved) return;
    *saved = d->s;
    d->s.face_flags |= 0x20;
}

static void dzr_pop_state(dzr* d) {
    const uint32_t n = d->s.next_vertex;
    if (d->stack.n == 0) return;
    dzr_close_cell(d);
    d->stack.n -= sizeof(dzr_frame);
    memcpy(&d->s, d->stack.p + d->stack.n, sizeof(dzr_frame));
    d->s.next_vertex = n;
}

/* Closes the current ring's underside. */
static void dzr_bottom(dzr* d) {
    const uint32_t t = d->s.top_ring_start;
    uint32_t* q = dzr_new_quad(d, &d->ti);
    if (!q) return;
    q[0] = t - 1;
    q[1] = t - 2;
    q[2] = t - 3;
    q[3] = t - 4;
}

/* ---- the output mesh ---- */

/* Copies what the turtle made since the last flush into the output mesh;
   a quad that names a vertex the output does not hold is left out. A flush
   that would pass the cap on quads is taken back whole. */
static void dzr_flush(dzr* d) {
    const uint32_t vc = DZR_COUNT(d->tv, 8 * sizeof(float)), ic = DZR_COUNT(d->ti, 4 * sizeof(uint32_t)) * 4;
    const uint32_t* ti = (const uint32_t*)d->ti.p;
    const size_t vertex_bytes = d->ov.n, quad_bytes = d->oi.n;
    uint32_t i, limit;
    int dropped = 0, k;
    if (vc > d->vertices_copied) {
        const size_t bytes = (size_t)(vc - d->vertices_copied) * 8 * sizeof(float);
        void* r = dzr_push(d, &d->ov, bytes);
        if (!r) return;
        memcpy(r, d->tv.p + (size_t)d->vertices_copied * 8 * sizeof(float), bytes);
        d->vertices_copied = vc;
    }
    limit = DZR_COUNT(d->ov, 8 * sizeof(float));
    for (i = d->indices_copied; i < ic; i += 4) {
        uint32_t* q;
        for (k = 0; k < 4; ++k)
            if ((uint64_t)ti[i + (uint32_t)k] + d->offset >= limit) break;
        if (k < 4) {
            dropped = 1;
            continue;
        }
        q = dzr_new_quad(d, &d->oi);
        if (!q) {
            d->ov.n = vertex_bytes;
            d->oi.n = quad_bytes;
            return;
        }
        for (k = 0; k < 4; ++k) q[k] = ti[i + (uint32_t)k] + d->offset;
    }
    if (ic > d->indices_copied) d->indices_copied = ic;
    if (dropped) dzr_message(d, DZR_ERROR "error: face with missing vertex dropped");
}

/* Moves every vertex along its own normal by (r + offset) · scale, r from
   the random sequence. */
static void dzr_extrude(dzr* d) {
    float* r = (float*)d->ov.p;
    uint32_t i, count = DZR_COUNT(d->ov, 8 * sizeof(float));
    int k;
    for (i = 0; i < count; ++i, r += 8) {
        const float f = (dzr_random_symmetric() + d->extrusion[0]) * d->extrusion[1];
        for (k = 0; k < 3; ++k) r[4 + k] = r[4 + k] + r[k] * f;
    }
}

static void* dzr_zeroed(const dozu_allocator* a, size_t bytes) {
    void* p = dzr_alloc(a, bytes);
    if (p) memset(p, 0, bytes);
    return p;
}

/* The corner after slot s of its quad. */
#define DZR_NEXT(s) (((s) & ~(size_t)3) | (((s) + 1) & 3))

/* Numbers the edges of the slots (the edge from each corner to the next)
   from first on, in the order the slots meet them, into edge[], and the
   next free number into *next; 1 when memory is refused. Edges are listed
   by their lower end, which a slot's walk finds quickly and near the last
   for the meshes a turtle makes; when a list grows past 64, the edges are
   listed again by a hash of both ends, which no vertex degree slows down. */
static int dzr_number_edges(dzr* d, const uint32_t* idx, size_t slots, uint32_t V, uint32_t first, uint32_t* edge,
                            uint32_t* next) {
    /* node n (from 1): lo, hi, the next node of its list */
    uint32_t *head, *node = (uint32_t*)dzr_alloc(d->alloc, slots * 3 * sizeof(uint32_t)), n;
    size_t s, size = V, walked;
    int bits = 0; /* 0: lists by the lower end; else the hash's width */
    if (!node) return 1;
restart:
    head = (uint32_t*)dzr_zeroed(d->alloc, size * sizeof(uint32_t));
    for (*next = first, s = 0; head && s < slots; ++s) {
        const uint32_t a = idx[s], b = idx[DZR_NEXT(s)], lo = a < b ? a : b, hi = a < b ? b : a;
        const size_t h = bits ? (uint32_t)((lo * 0x9E3779B1u + hi) * 0x85EBCA77u) >> (32 - bits) : lo;
        for (walked = 0, n = head[h]; n && (node[3 * n - 3] != lo || node[3 * n - 2] != hi); n = node[3 * n - 1])
            if (++walked > 64 && !bits) {
                dzr_free(d->alloc, head);
                for (size = 2, bits = 1; size < slots; size *= 2) ++bits;
                goto restart;
            }
        if (!n) {
            n = *next - first + 1;
            node[3 * n - 3] = lo;
            node[3 * n - 2] = hi;
            node[3 * n - 1] = head[h];
            head[h] = n;
            ++*next;
        }
        edge[s] = first + n - 1;
    }
    dzr_free(d->alloc, node);
    dzr_free(d->alloc, head);
    return !head;
}

/* t += s */
static void dzr_add(float* t, const float* s) {
    float r[8];
    int i;
    for (i = 0; i < 8; ++i) r[i] = t[i] + s[i];
    for (i = 0; i < 8; ++i) t[i] = r[i];
}

/* One level of subdivision: quad q of V vertices splits into four around
   face point V + q; every distinct edge gets one edge point, numbered from
   V + Q in the order the quads meet the edges; every point becomes a sum of
   whole records, weights included, added in a fixed order. 0, or 1 when
   the result would not fit or its memory is refused; the mesh then stays. */
DZR_APART static int dzr_subdivide(dzr* d) {
    const uint32_t V = DZR_COUNT(d->ov, 8 * sizeof(float)), Q = DZR_COUNT(d->oi, 4 * sizeof(uint32_t));
    const uint32_t* idx = (const uint32_t*)d->oi.p;
    float* in = (float*)d->ov.p; /* read only */
    const size_t slots = 4 * (size_t)Q;
    uint32_t *edge, *out_idx, first = V + Q, next, q;
    float *sums = NULL, *out = NULL, face[8];
    int i, k, n, pass;
    if ((uint64_t)V + 5 * (uint64_t)Q > 0xFFFFFFFFu) return 1;
    edge = (uint32_t*)dzr_alloc(d->alloc, slots * sizeof(uint32_t));
    out_idx = (uint32_t*)dzr_alloc(d->alloc, 4 * slots * sizeof(uint32_t));
    if (!edge || !out_idx || dzr_number_edges(d, idx, slots, V, first, edge, &next)) goto refused;
    sums = (float*)dzr_zeroed(d->alloc, (size_t)(next - first) * 8 * sizeof(float));
    out = (float*)dzr_zeroed(d->alloc, (size_t)next * 8 * sizeof(float));
    if (!sums || !out) goto refused;

    /* Two passes over the quads; every record takes its additions in the
       order of the quads, and within a quad as below. Quad 4q+k of the
       result is (u_k, E(u_k, u_k+1), face point, E(u_k-1, u_k)); for its
       corners stand u_k, the first pass's edge sums e_k and e_k-1, and the
       face's own sum f. The first pass adds u_k to e_k, then to e_k-1; the
       second adds to each new point its quad's corner before it, itself
       and its opposite corner. */
    for (pass = 0; pass < 2; ++pass)
        for (q = 0; q < Q; ++q) {
            const uint32_t *c = idx + 4 * (size_t)q, *p = edge + 4 * (size_t)q;
            if (pass) {
                memset(face, 0, sizeof face);
                for (k = 0; k < 4; ++k) dzr_add(face, in + (size_t)c[k] * 8);
            }
            for (k = 0; k < 4; ++k) {
                uint32_t* o = out_idx + 16 * (size_t)q + 4 * (size_t)k;
                float* corner[4];
                o[0] = c[k];
                o[1] = p[k];
                o[2] = V + q;
                o[3] = p[(k + 3) & 3];
                corner[0] = in + (size_t)c[k] * 8;
                corner[1] = sums + (size_t)(o[1] - first) * 8;
                corner[2] = face;
                corner[3] = sums + (size_t)(o[3] - first) * 8;
                if (!pass) {
                    dzr_add(corner[1], corner[0]);
                    dzr_add(corner[3], corner[0]);
                    continue;
                }
                for (n = 0; n < 4; ++n) {
                    float* t = out + (size_t)o[n] * 8;
                    const float *a = corner[(n + 3) & 3], *b = corner[n], *e = corner[(n + 2) & 3];
                    float r[8];
                    for (i = 0; i < 8; ++i) r[i] = t[i] + a[i] + b[i] + e[i];
                    for (i = 0; i < 8; ++i) t[i] = r[i];
                }
            }
        }
    dzr_free(d->alloc, edge);
    dzr_free(d->alloc, sums);
    dzr_release(d, &d->ov);
    dzr_release(d, &d->oi);
    d->ov.p = (unsigned char*)out;
    d->ov.n = d->ov.cap = (size_t)next * 8 * sizeof(float);
    d->oi.p = (unsigned char*)out_idx;
    d->oi.n = d->oi.cap = 4 * slots * sizeof(uint32_t);
    return 0;
refused:
    dzr_free(d->alloc, edge);
    dzr_free(d->alloc, out_idx);
    dzr_free(d->alloc, sums);
    dzr_free(d->alloc, out);
    return 1;
}

/* ---- the interpreter ---- */

static void dzr_parameter_char(dzr* d, char c) {
    if (c == ' ') {
        const int32_t v = d->negative ? (int32_t)(0u - (uint32_t)d->acc) : d->acc;
        const float value = dzr_parameter_value(v);
        *d->target = d->add ? *d->target + value : value;
        d->pending = 0;
    } else if (c == '-') {
        d->negative = 1;
    } else {
        const int code = (unsigned char)c;
        const int digit = code - (code >= 'A' ? 55 : 48);
        d->acc = (int32_t)(((uint32_t)d->acc << 4) | (uint32_t)digit);
    }
}

static void dzr_start_parameter(dzr* d, float* target, int add) {
    d->pending = 1;
    d->target = target;
    d->add = add;
    d->acc = 0;
    d->negative = 0;
}

/* "V" (mark) and every character not listed do nothing. */
static const char dzr_statements[] = "*=^[]pqBTDXO+RSY";

DZR_APART static void dzr_statement(dzr* d, char c) {
    const char* known = (const char*)memchr(dzr_statements, c, sizeof dzr_statements - 1);
    const int n = known ? (int)(known - dzr_statements) : -1;
    uint64_t quads;
    if (c == ' ') return;
    d->current_subdiv = 0;
    switch (n) {
        case 0: /* * */
            d->vertices_copied = d->indices_copied = 0;
            d->tv.n = d->ti.n = d->stack.n = 0;
            memset(&d->s, 0, sizeof d->s);
            d->s.heading[2] = d->s.up[0] = 1.0f;
            d->s.base_ring[1] = 1;
            d->s.base_ring[2] = 2;
            d->s.base_ring[3] = 3;
            d->s.top_ring_start = 4;
            d->init_seen = 1;
            d->offset = DZR_COUNT(d->ov, 8 * sizeof(float));
            break;
        case 1: /* = */
            dzr_step(d);
            dzr_step(d);
            d->first_seen = 1;
            break;
        case 2: /* ^ */
            dzr_go(d);
            if (!d->first_seen) dzr_fail(d, DZR_FATAL "fatal error: no 'first' statement before first step");
            break;
        case 3: /* [ */
            dzr_push_state(d);
            ++d->depth;
            break;
        case 4: /* ] */
            dzr_pop_state(d);
            if (--d->depth < 0) dzr_message(d, DZR_ERROR "error: stack underflow, pop statement ignored");
            break;
        case 5: /* p */
        case 6: /* q */ d->s.wind = (uint8_t)(d->s.wind + 2 * n - 11); break;
        case 7: /* B */ dzr_bottom(d); break;
        case 8: /* T */ dzr_close_cell(d); break;
        case 9: /* D */
            dzr_flush(d);
            quads = 4 * (uint64_t)DZR_COUNT(d->oi, 4 * sizeof(uint32_t));
            if (d->stop || dzr_too_many(d, quads)) return;
            if (quads > 16777216u || dzr_subdivide(d))
                dzr_fail(d, DZR_FATAL "fatal error: mesh too large to subdivide");
            d->subdiv_seen = d->current_subdiv = 1;
            break;
        case 10: /* X */
            dzr_flush(d);
            if (d->stop) return;
            dzr_extrude(d);
            break;
        case 11: /* O */
        case 12: /* + */ dzr_start_parameter(d, d->extrusion + (n - 11), 0); break;
        case 13: /* R, S, Y */
        case 14:
        case 15: dzr_start_parameter(d, n == 13 ? &d->s.radius : n == 14 ? &d->s.size : &d->s.angle, 1); break;
        default: break;
    }
    if (d->subdiv_seen && !d->current_subdiv)
        dzr_fail(d, DZR_FATAL "fatal error: statement not allowed after 'subdiv', ignored");
}

void dozu_options_init(dozu_options* options) {
    memset(options, 0, sizeof *options);
    options->line_count = -1;
}

int dozu_decode_with_options(const char* program, size_t length, dozu_mesh* out, const dozu_allocator* alloc,
                             const dozu_options* options) {
    dzr d;
    dozu_options defaults;
    size_t i;
    uint32_t v, count;
    if (!out || (!program && length) || length > 0x7FFFFFFF) return DOZU_ERROR_ARGUMENT;
    if (!options) {
        dozu_options_init(&defaults);
        options = &defaults;
    }
    memset(out, 0, sizeof *out);
    memset(&d, 0, sizeof d);
    d.alloc = alloc;
    d.report = options->report;
    d.user = options->user;
    d.max_quads = options->max_quads;
    d.extrusion[0] = 0.25f;
    d.extrusion[1] = 0.5f;

    if (!options->line_count) length = 0;
    for (i = 0; i < length && !d.stop; ++i) {
        const char c = program[i];
        if (d.pending)
            dzr_parameter_char(&d, c);
        else
            dzr_statement(&d, c);
        if (c == ' ' || i + 1 == length) {
            if (d.line == 0 && !d.init_seen)
                dzr_fail(&d, DZR_FATAL "fatal error: no initialization at program start");
            if (d.fatal || ++d.line == options->line_count) break;
        }
    }
    if (!d.fatal && !d.stop) {
        --d.line; /* the last line run, -1 for none */
        dzr_flush(&d);
        if (d.depth > 0) {
            if (i + 1 < length)
                dzr_message_number(&d, DZR_HINT "hint: stack depth is #", (uint32_t)d.depth);
            else
                dzr_message(&d, DZR_ERROR "error: non-empty stack at end of program");
        }
        if (d.line < 0) {
            d.line = 0;
            dzr_message(&d, DZR_HINT "hint: initialize, grow radius and size and make a first step");
            dzr_message(&d, DZR_HINT "hint: buttons to click are init, grow_s, grow_r, first, ^ (forward)");
        }
    }
    dzr_release(&d, &d.tv);
    dzr_release(&d, &d.ti);
    dzr_release(&d, &d.stack);
    out->vertices = (float*)d.ov.p;
    out->indices = (uint32_t*)d.oi.p;
    if (d.stop == 1) {
        dozu_mesh_release(out, alloc);
        return DOZU_ERROR_MEMORY;
    }

    /* Display form, 6 floats a vertex: every record divided by its weight. */
    count = DZR_COUNT(d.ov, 8 * sizeof(float));
    for (v = 0; v < count; ++v) {
        /* in place: every value is read before a store can reach it */
        const float* r = (const float*)d.ov.p + 8 * (size_t)v;
        float* o = (float*)d.ov.p + 6 * (size_t)v;
        const float inv = 1.0f / r[3];
        int c;
        for (c = 0; c < 6; ++c) o[c] = r[c + (c > 2)] * inv;
    }
    out->vertex_count = count;
    out->index_count = DZR_COUNT(d.oi, sizeof(uint32_t));
    return d.fatal ? DOZU_ERROR_FATAL : DOZU_OK;
}

/* dozu_decode_with_messages's report, given each message without its
   kind. */
typedef struct dzr_plain {
    dozu_message_fn report;
    void* user;
} dzr_plain;

static void dzr_forward(void* user, int line, int kind, const char* text) {
    const dzr_plain* plain = (const dzr_plain*)user;
    (void)kind;
    plain->report(plain->user, line, text);
}

int dozu_decode_with_messages(const char* program, size_t length, dozu_mesh* out, const dozu_allocator* alloc,
                              dozu_message_fn report, void* user) {
    dozu_options options;
    dzr_plain plain;
    plain.report = report;
    plain.user = user;
    options.line_count = -1;
    options.max_quads = 0;
    options.report = report ? dzr_forward : NULL;
    options.user = &plain;
    return dozu_decode_with_options(program, length, out, alloc, &options);
}

int dozu_decode(const char* program, size_t length, dozu_mesh* out, const dozu_allocator* alloc) {
    return dozu_decode_with_options(program, length, out, alloc, NULL);
}

void dozu_mesh_release(dozu_mesh* mesh, const dozu_allocator* alloc) {
    if (!mesh) return;
    dzr_free(alloc, mesh->vertices);
    dzr_free(alloc, mesh->indices);
    memset(mesh, 0, sizeof *mesh);
}

#ifdef DOZU_RUNTIME_NORMALS

/* Whether a normal is too short to point anywhere reliable: rounding alone
   moves the decoder's normals by about 1e-6. Else its length. */
static int dzr_tiny_normal(const float* n, double* length) {
    *length = sqrt((double)n[0] * n[0] + (double)n[1] * n[1] + (double)n[2] * n[2]);
    return !(*length > 1e-4) || !isfinite(*length);
}

/* Every step in double precision and in the exporters' order, so that the
   normals come out as the same floats. */
int dozu_mesh_unit_normals(dozu_mesh* mesh, const dozu_allocator* alloc) {
    const uint32_t count = mesh->vertex_count;
    float* vertices = mesh->vertices;
    double *sums = NULL, length;
    uint32_t v, q;
    int i, k, tiny = 0;
    for (v = 0; v < count; ++v) tiny |= dzr_tiny_normal(vertices + 6 * (size_t)v, &length);
    if (tiny) {
        sums = (double*)dzr_zeroed(alloc, 3 * (size_t)count * sizeof(double));
        if (!sums) return DOZU_ERROR_MEMORY;
    }
    for (q = 0; tiny && q + 4 <= mesh->index_count; q += 4) {
        /* Counter-clockwise seen from outside: the diagonals span twice the
           quad's area vector, which points outside. */
        const uint32_t* c = mesh->indices + q;
        const float* p[4];
        double e[3], f[3], area[3];
        for (k = 0; k < 4; ++k) {
            const uint32_t corner = c[(4 - k) & 3];
            if (corner >= count) break;
            p[k] = vertices + 6 * (size_t)corner + 3;
            if (!isfinite(p[k][0]) || !isfinite(p[k][1]) || !isfinite(p[k][2])) break;
        }
        if (k < 4) continue;
        for (i = 0; i < 3; ++i) {
            e[i] = (double)p[2][i] - p[0][i];
            f[i] = (double)p[3][i] - p[1][i];
        }
        area[0] = e[1] * f[2] - e[2] * f[1];
        area[1] = e[2] * f[0] - e[0] * f[2];
        area[2] = e[0] * f[1] - e[1] * f[0];
        for (k = 0; k < 4; ++k) {
            const size_t corner = c[k];
            if (dzr_tiny_normal(vertices + 6 * corner, &length))
                for (i = 0; i < 3; ++i) sums[3 * corner + (size_t)i] += area[i];
        }
    }
    for (v = 0; v < count; ++v) {
        float* n = vertices + 6 * (size_t)v;
        if (!dzr_tiny_normal(n, &length)) {
            for (i = 0; i < 3; ++i) n[i] = (float)(n[i] / length);
            continue;
        }
        {
            const double* s = sums + 3 * (size_t)v;
            const double mean = sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
            for (i = 0; i < 3; ++i)
                n[i] = mean > 0 && isfinite(mean) ? (float)(s[i] / mean) : i == 2 ? 1.0f : 0.0f;
        }
    }
    dzr_free(alloc, sums);
    return DOZU_OK;
}

#endif /* DOZU_RUNTIME_NORMALS */

#ifdef __cplusplus
}
#endif

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC pop_options
#endif

#endif /* DOZU_RUNTIME_IMPLEMENTED */
#endif /* DOZU_RUNTIME_IMPLEMENTATION */
