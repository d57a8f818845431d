/* The runtime's reader of program files, for the WebAssembly module: built
   for size, since a file is read once and is small. */
#define DOZU_RUNTIME_TPG
#include "runtime/dozu_tpg.h"
