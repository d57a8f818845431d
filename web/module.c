/* The C runtime as a WebAssembly module for the web page's decoder: an
   input buffer, a decode that starts the random sequence at its start (so a
   link shows the same model to everyone, as the batch tool does), the mesh
   it made, and an allocator of its own in place of the C library's, which
   would be half the module. Messages go to the page's dz_message import. */
#define DOZU_RUNTIME_IMPLEMENTATION
#include "runtime/dozu_runtime.h"

#define EXPORT(name) __attribute__((export_name(#name)))

__attribute__((import_module("env"), import_name("dz_message"))) void dz_message(int line, const char* text);

/* ---- memory: blocks of 2^k bytes with an 8-byte header holding k; a freed
   block goes on the free list of its size, and memory is never given back,
   which suits a worker that a page replaces when it needs to. */

enum { SMALLEST = 4, LARGEST = 31, PAGE = 65536 };
static void* free_blocks[LARGEST + 1];
static uintptr_t heap_top, heap_end;

void* malloc(size_t bytes) {
    unsigned k = SMALLEST;
    uint64_t* block;
    while (((size_t)1 << k) < bytes + 8)
        if (++k > LARGEST) return NULL;
    if (free_blocks[k]) {
        block = (uint64_t*)free_blocks[k];
        free_blocks[k] = *(void**)(block + 1);
    } else {
        const size_t size = (size_t)1 << k;
        if (!heap_top) heap_top = heap_end = (uintptr_t)__builtin_wasm_memory_size(0) * PAGE;
        if (heap_end - heap_top < size) {
            const size_t pages = (size - (heap_end - heap_top) + PAGE - 1) / PAGE;
            if (__builtin_wasm_memory_grow(0, pages) == (size_t)-1) return NULL;
            heap_end += pages * PAGE;
        }
        block = (uint64_t*)heap_top;
        heap_top += size;
    }
    *block = k;
    return block + 1;
}

void free(void* p) {
    uint64_t* block = (uint64_t*)p - 1;
    if (!p) return;
    *(void**)(block + 1) = free_blocks[*block];
    free_blocks[*block] = block;
}

/* ---- the page's calls */

static char* input;
static size_t input_size;
static dozu_mesh mesh;

/* Room for a program of `bytes`, or NULL. */
EXPORT(dz_input) char* dz_input(size_t bytes) {
    if (bytes > input_size) {
        free(input);
        input = (char*)malloc(bytes);
        input_size = input ? bytes : 0;
    }
    return input;
}

static void report(void* user, int line, const char* text) {
    (void)user;
    dz_message(line, text);
}

/* Decodes the first `length` bytes of the input into the mesh, releasing
   the last one; returns dozu_decode's status. */
EXPORT(dz_decode) int dz_decode(size_t length) {
    dozu_mesh_release(&mesh, NULL);
    dozu_set_random_state(0);
    return dozu_decode_with_messages(input, length, &mesh, NULL, report, NULL);
}

EXPORT(dz_vertices) float* dz_vertices(void) { return mesh.vertices; }
EXPORT(dz_vertex_count) uint32_t dz_vertex_count(void) { return mesh.vertex_count; }
EXPORT(dz_indices) uint32_t* dz_indices(void) { return mesh.indices; }
EXPORT(dz_index_count) uint32_t dz_index_count(void) { return mesh.index_count; }
