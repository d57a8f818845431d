/* Decodes the packed rock example and writes it as a Wavefront OBJ file, as
   dozu-cli run examples/rock.tpg --obj does: the same positions, normals
   and faces.
       dozu-cli pack examples/rock.tpg --c rock.h
       cc -std=c99 -I. -Iruntime runtime/example.c -lm -o example
       ./example rock.obj */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#define DOZU_RUNTIME_IMPLEMENTATION
#define DOZU_RUNTIME_NORMALS
#include "dozu_runtime.h"
#include "rock.h"

/* A program from elsewhere may ask for a mesh of any size: a decode can
   stop before it makes one of more than so many quads. */
#define MAX_QUADS 4194304u

static void print_message(void* user, int line, int kind, const char* text) {
    fprintf(stderr, "%s:%d: %s%s\n", (const char*)user, line + 1, text,
            kind == DOZU_MESSAGE_FATAL ? " (the decode stopped here)" : "");
}

/* Whether the positions of the quad's corners are finite. */
static int finite_quad(const dozu_mesh* mesh, uint32_t i) {
    uint32_t k, c;
    for (k = 0; k < 4; ++k)
        for (c = 3; c < 6; ++c)
            if (!isfinite(mesh->vertices[6 * (size_t)mesh->indices[i + k] + c])) return 0;
    return 1;
}

int main(int argc, char** argv) {
    dozu_options options;
    dozu_mesh mesh;
    FILE* out;
    uint32_t *number, i, k, next = 0;
    int status;
    dozu_options_init(&options);
    options.max_quads = MAX_QUADS;
    options.report = print_message;
    options.user = (void*)"rock";
    status = dozu_decode_with_options(dozu_model_rock, dozu_model_rock_length, &mesh, NULL, &options);
    if (status == DOZU_ERROR_MEMORY || dozu_mesh_unit_normals(&mesh, NULL) != DOZU_OK || argc != 2 ||
        !(out = fopen(argv[1], "w")))
        return 2;

    /* A quad is written when all its corners are finite, a vertex when a
       written quad names it: number[v] is its OBJ number, from 1. */
    number = (uint32_t*)calloc(mesh.vertex_count + 1, sizeof *number);
    if (!number) return 2;
    for (i = 0; i < mesh.index_count; i += 4)
        if (finite_quad(&mesh, i))
            for (k = 0; k < 4; ++k) number[mesh.indices[i + k]] = 1;
    for (i = 0; i < mesh.vertex_count; ++i)
        if (number[i]) {
            const float* v = mesh.vertices + 6 * (size_t)i;
            number[i] = ++next;
            fprintf(out, "v %.9g %.9g %.9g\n", v[3], v[4], v[5]);
        }
    for (i = 0; i < mesh.vertex_count; ++i)
        if (number[i]) {
            const float* n = mesh.vertices + 6 * (size_t)i;
            fprintf(out, "vn %.9g %.9g %.9g\n", n[0], n[1], n[2]);
        }
    /* The quads run clockwise seen from outside; OBJ wants them the other
       way round, from the same first corner. */
    for (i = 0; i < mesh.index_count; i += 4) {
        const uint32_t* q = mesh.indices + i;
        if (finite_quad(&mesh, i))
            fprintf(out, "f %u//%u %u//%u %u//%u %u//%u\n", (unsigned)number[q[0]], (unsigned)number[q[0]],
                    (unsigned)number[q[3]], (unsigned)number[q[3]], (unsigned)number[q[2]], (unsigned)number[q[2]],
                    (unsigned)number[q[1]], (unsigned)number[q[1]]);
    }
    free(number);
    dozu_mesh_release(&mesh, NULL);
    return fclose(out) == 0 && status == DOZU_OK ? 0 : 1;
}
