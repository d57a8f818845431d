/* Decodes programs from standard input to standard output, for a runtime
   built for another target. In: per program its random state, its length
   (32-bit little-endian words) and its bytes. Out: per message "M", its
   line, the text's length and the text; then "E", the status, the random
   state after, the vertex count, the floats, the index count, the indices. */
#include <stdio.h>
#include <stdlib.h>

#define DOZU_RUNTIME_IMPLEMENTATION
#include "runtime/dozu_runtime.h"

static void put(const void* p, size_t words) { fwrite(p, 4, words, stdout); }

static void message(void* user, int line, const char* text) {
    uint32_t head[3];
    (void)user;
    head[0] = 'M';
    head[1] = (uint32_t)line;
    for (head[2] = 0; text[head[2]]; ++head[2]) {
    }
    put(head, 3);
    fwrite(text, 1, head[2], stdout);
}

int main(void) {
    uint32_t head[2];
    while (fread(head, 4, 2, stdin) == 2) {
        char* program = (char*)malloc(head[1] + 1);
        dozu_mesh mesh;
        uint32_t tail[3];
        if (!program || fread(program, 1, head[1], stdin) != head[1]) return 2;
        dozu_set_random_state(head[0]);
        tail[1] = (uint32_t)dozu_decode_with_messages(program, head[1], &mesh, NULL, message, NULL);
        tail[0] = 'E';
        tail[2] = dozu_random_state();
        put(tail, 3);
        put(&mesh.vertex_count, 1);
        put(mesh.vertices, 6 * (size_t)mesh.vertex_count);
        put(&mesh.index_count, 1);
        put(mesh.indices, mesh.index_count);
        dozu_mesh_release(&mesh, NULL);
        free(program);
    }
    return fflush(stdout) != 0;
}
