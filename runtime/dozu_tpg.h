/* dozu_tpg.h: reads a dozu program file (.tpg) as dozu's editor loads it,
   into the program text that dozu_runtime.h decodes, with the file's
   command table and steps.

   C99 (and C++), no dependency beyond the C standard library. Declarations
   only, unless one source file of the program says
       #define DOZU_RUNTIME_TPG
       #include "dozu_tpg.h"
   A .tpg holds 78 command-table cells (the editor's grid of 6 columns,
   rows 1 to 13), each followed by the byte 0xFF, then one byte per program
   step: the tag (1 to 26) of the button clicked. */
#ifndef DOZU_TPG_H
#define DOZU_TPG_H

#include "dozu_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { DOZU_TPG_CELLS = 78 };

/* A loaded program file. Cell i (row 1 + i / 6, column i % 6) is the
   cell_length[i] bytes of the file from cell_start[i]; a cell the file does
   not reach is empty. Button t's title, interpreter code and compiled code
   are cells 6 * ((t - 1) / 2) + (t odd ? 0 : 3) + 0, 1 and 2. */
typedef struct dozu_tpg {
    /* The program: each step's interpreter code and a blank, then a NUL
       that length does not count. */
    char* text;
    size_t length;
    /* The steps' tags, 1 to 26: those of the file whose button has an
       interpreter code, since a click of a button without one inserts
       nothing. */
    unsigned char* steps;
    size_t step_count;
    size_t cell_start[DOZU_TPG_CELLS];
    size_t cell_length[DOZU_TPG_CELLS];
} dozu_tpg;

/* Reads the file's bytes into out, giving what is wrong with the file to
   report (which may be NULL) with line -1, as dozu-cli prints it after
   "warning: ": "does not look like a dozu program: REASON" (a table cell
   holding a byte below 0x20, a table cut short, or more than half of the
   step bytes outside 1 to 26; such a file still loads), "file ends after N
   of 78 table cells; the rest are empty", and each of the first 100 step
   bytes outside 1 to 26 that is skipped ("step byte B at offset O
   skipped", then "... and N more step bytes skipped"). The editor's
   message list shows the first two.
   Returns DOZU_OK; DOZU_ERROR_FATAL for a file that the editor refuses,
   with a DOZU_MESSAGE_FATAL message ("the file is larger than 16 MiB",
   "program too large: its lines would hold N bytes, the limit is 64 MiB")
   and no warnings; DOZU_ERROR_MEMORY; or DOZU_ERROR_ARGUMENT when out is
   NULL or bytes is NULL with a size. Unless it returns DOZU_OK, out holds
   nothing to release. */
int dozu_tpg_read(const unsigned char* bytes, size_t size, dozu_tpg* out, const dozu_allocator* alloc,
                  dozu_report_fn report, void* user);
/* Releases the text and the steps through the allocator they were made
   with. */
void dozu_tpg_release(dozu_tpg* tpg, const dozu_allocator* alloc);

#ifdef __cplusplus
}
#endif

#endif /* DOZU_TPG_H */

#ifdef DOZU_RUNTIME_TPG
#ifndef DOZU_TPG_IMPLEMENTED
#define DOZU_TPG_IMPLEMENTED

#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The editor's limits: the file's size, and the bytes of its lines. */
#define DZT_MAX_FILE ((size_t)16 * 1024 * 1024)
#define DZT_MAX_TEXT ((uint64_t)64 * 1024 * 1024)

/* Says a message of the file: format's "%u" stand for the decimal numbers
   a and then b, "%X" for a as two hexadecimal digits. */
static void dzt_say(dozu_report_fn report, void* user, int kind, const char* format, uint64_t a, uint64_t b) {
    char text[160], digits[20];
    size_t k = 0, m;
    uint64_t n;
    if (!report) return;
    for (; *format; ++format) {
        if (*format != '%') {
            text[k++] = *format;
            continue;
        }
        if (*++format == 'X') {
            text[k++] = "0123456789ABCDEF"[a >> 4 & 15];
            text[k++] = "0123456789ABCDEF"[a & 15];
            continue;
        }
        n = a;
        a = b;
        m = 0;
        do digits[m++] = (char)('0' + n % 10);
        while (n /= 10);
        while (m) text[k++] = digits[--m];
    }
    text[k] = 0;
    report(user, -1, kind, text);
}

static void* dzt_alloc(const dozu_allocator* a, size_t bytes) {
    if (bytes == 0) bytes = 1;
    return a ? a->allocate(a->user, bytes) : malloc(bytes);
}

static void dzt_free(const dozu_allocator* a, void* p) {
    if (!p) return;
    if (a)
        a->release(a->user, p);
    else
        free(p);
}

/* The cell of button tag's interpreter code. */
static size_t dzt_code_cell(unsigned tag) { return 6 * ((tag - 1) / 2) + (tag % 2 ? 1 : 4); }

int dozu_tpg_read(const unsigned char* bytes, size_t size, dozu_tpg* out, const dozu_allocator* alloc,
                  dozu_report_fn report, void* user) {
    size_t pos = 0, cells_read = 0, i, k, steps = 0, kept = 0, skipped = 0, listed = 0;
    uint64_t text = 0;
    int odd_cell = 0;
    if (!out || (!bytes && size)) return DOZU_ERROR_ARGUMENT;
    memset(out, 0, sizeof *out);
    if (size > DZT_MAX_FILE) {
        dzt_say(report, user, DOZU_MESSAGE_FATAL, "the file is larger than 16 MiB", 0, 0);
        return DOZU_ERROR_FATAL;
    }
    for (i = 0; i < DOZU_TPG_CELLS; ++i) {
        if (pos < size) ++cells_read;
        out->cell_start[i] = pos;
        while (pos < size && bytes[pos] != 0xFF) ++pos;
        out->cell_length[i] = pos - out->cell_start[i];
        if (pos < size) ++pos; /* the separator */
    }
    for (i = pos; i < size; ++i) {
        const unsigned tag = bytes[i];
        if (tag < 1 || tag > 26) {
            ++skipped;
            continue;
        }
        ++steps;
        if (out->cell_length[dzt_code_cell(tag)]) {
            ++kept;
            text += out->cell_length[dzt_code_cell(tag)] + 1;
        }
    }
    if (text > DZT_MAX_TEXT) {
        dzt_say(report, user, DOZU_MESSAGE_FATAL,
                "program too large: its lines would hold %u bytes, the limit is 64 MiB", text, 0);
        memset(out, 0, sizeof *out);
        return DOZU_ERROR_FATAL;
    }
    out->text = (char*)dzt_alloc(alloc, (size_t)text + 1);
    out->steps = (unsigned char*)dzt_alloc(alloc, kept);
    if (!out->text || !out->steps) {
        dozu_tpg_release(out, alloc);
        return DOZU_ERROR_MEMORY;
    }

    for (i = 0; i < cells_read && !odd_cell; ++i)
        for (k = 0; k < out->cell_length[i] && !odd_cell; ++k)
            if (bytes[out->cell_start[i] + k] < 0x20) {
                dzt_say(report, user, DOZU_MESSAGE_WARNING,
                        "does not look like a dozu program: table cell %u holds the byte 0x%X", i + 1,
                        bytes[out->cell_start[i] + k]);
                odd_cell = 1;
            }
    if (!odd_cell && cells_read < DOZU_TPG_CELLS)
        dzt_say(report, user, DOZU_MESSAGE_WARNING,
                "does not look like a dozu program: its table ends before the 78th cell", 0, 0);
    else if (!odd_cell && 2 * skipped > steps + skipped)
        dzt_say(report, user, DOZU_MESSAGE_WARNING,
                "does not look like a dozu program: %u of its %u step bytes lie outside 1 to 26", skipped,
                steps + skipped);
    if (cells_read < DOZU_TPG_CELLS)
        dzt_say(report, user, DOZU_MESSAGE_WARNING, "file ends after %u of 78 table cells; the rest are empty",
                cells_read, 0);
    for (i = pos; i < size && listed < 100; ++i)
        if (bytes[i] < 1 || bytes[i] > 26) {
            dzt_say(report, user, DOZU_MESSAGE_WARNING, "step byte %u at offset %u skipped", bytes[i], i);
            ++listed;
        }
    if (skipped > listed)
        dzt_say(report, user, DOZU_MESSAGE_WARNING, "... and %u more step bytes skipped", skipped - listed, 0);

    for (i = pos; i < size; ++i) {
        const unsigned tag = bytes[i];
        size_t cell;
        if (tag < 1 || tag > 26 || !out->cell_length[cell = dzt_code_cell(tag)]) continue;
        out->steps[out->step_count++] = (unsigned char)tag;
        memcpy(out->text + out->length, bytes + out->cell_start[cell], out->cell_length[cell]);
        out->length += out->cell_length[cell];
        out->text[out->length++] = ' ';
    }
    out->text[out->length] = 0;
    return DOZU_OK;
}

void dozu_tpg_release(dozu_tpg* tpg, const dozu_allocator* alloc) {
    if (!tpg) return;
    dzt_free(alloc, tpg->text);
    dzt_free(alloc, tpg->steps);
    memset(tpg, 0, sizeof *tpg);
}

#ifdef __cplusplus
}
#endif

#endif /* DOZU_TPG_IMPLEMENTED */
#endif /* DOZU_RUNTIME_TPG */
