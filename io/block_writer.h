// Text made block by block on helper threads and written in order by the
// calling thread: formatting numbers is most of a text export's time, and
// so it spreads over the processors while the file is written. Every
// block's text is made into a buffer of a fixed size, and a few blocks at
// most are held at a time, so memory stays bounded whatever the file.
#pragma once

#include <cstddef>
#include <functional>

#include "io/byte_sink.h"

namespace dozu {

// Writes blocks 0 to count - 1 into sink in this order. make(block, out)
// puts a block's text at out, at most capacity bytes, and returns its
// length; it may run on any thread, several blocks at once. A failure in
// make (out of memory) ends the writing with std::bad_alloc, a failure of
// the sink with its own exception, always on the calling thread.
void write_blocks(ByteSink& sink, size_t count, size_t capacity,
                  const std::function<size_t(size_t block, char* out)>& make);

}  // namespace dozu
