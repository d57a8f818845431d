/* The C runtime as the web's WebAssembly module: an input buffer; a decode
   that starts the random sequence at its start (so a link shows the same
   model to everyone, as the batch tool does) and leaves the arrays a view
   draws and an export writes (model_arrays.h); a reader of program files;
   and an allocator of its own in place of the C library's, which would be
   half the module. Messages go with their kinds to the dz_message import. */
#define DOZU_RUNTIME_IMPLEMENTATION
#include "runtime/dozu_runtime.h"
#include "runtime/dozu_tpg.h"
#include "web/model_arrays.h"

#define EXPORT(name) __attribute__((export_name(#name)))

__attribute__((import_module("env"), import_name("dz_message"))) void dz_message(int line, int kind,
                                                                                 const char* text);

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

/* ---- the calls */

static char* input;
static size_t input_size;
static dozu_mesh mesh;
static dozu_tpg tpg;

/* What the last call left, read by the page as 32-bit words: the decode's
   counts before and after the arrays were made, the arrays, their box; or
   the program file's text, steps and cells. */
static struct {
    uint32_t mesh_vertices, mesh_quads;
    dz_model_arrays arrays;
} model;

static void report(void* user, int line, int kind, const char* text) {
    (void)user;
    dz_message(line, kind, text);
}

/* Room for `bytes` of input, or NULL. */
EXPORT(dz_input) char* dz_input(size_t bytes) {
    if (bytes > input_size) {
        free(input);
        input = (char*)malloc(bytes);
        input_size = input ? bytes : 0;
    }
    return input;
}

/* Decodes the first `length` bytes of the input, running its first
   line_count lines (negative: all) and stopping past max_quads quads (0:
   no cap), into the model, releasing the last one; its arrays are made for
   a mesh of at most array_limit quads (0: any), which a view can draw.
   Returns the decode's status; the model is empty after DOZU_ERROR_MEMORY. */
EXPORT(dz_decode) int dz_decode(size_t length, long line_count, uint32_t max_quads, uint32_t array_limit) {
    dozu_options options;
    int status;
    dz_model_arrays_release(&model.arrays, NULL);
    dozu_mesh_release(&mesh, NULL);
    dozu_options_init(&options);
    options.line_count = line_count;
    options.max_quads = max_quads;
    options.report = report;
    dozu_set_random_state(0);
    status = dozu_decode_with_options(input, length, &mesh, NULL, &options);
    model.mesh_vertices = mesh.vertex_count;
    model.mesh_quads = mesh.index_count / 4;
    if (status != DOZU_ERROR_MEMORY && (!array_limit || model.mesh_quads <= array_limit) &&
        dz_model_arrays_make(&mesh, &model.arrays, NULL) != DOZU_OK) {
        dozu_mesh_release(&mesh, NULL);
        status = DOZU_ERROR_MEMORY;
    }
    return status;
}

EXPORT(dz_model) const void* dz_model(void) { return &model; }

/* Reads the first `size` bytes of the input as a program file; returns its
   status, and the text, steps and cells stay for dz_program_file. */
EXPORT(dz_read_program_file) int dz_read_program_file(size_t size) {
    dozu_tpg_release(&tpg, NULL);
    return dozu_tpg_read((const unsigned char*)input, size, &tpg, NULL, report, NULL);
}

EXPORT(dz_program_file) const dozu_tpg* dz_program_file(void) { return &tpg; }
