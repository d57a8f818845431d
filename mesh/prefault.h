// Maps in the pages of a new large buffer in one call, before it is first
// written, rather than taking one page fault for each page as the writing
// reaches it. Measured on a single run of the batch tool: 5 to 15 % less
// time; asking for huge pages instead was faster at a million output quads
// but far slower at sixteen million, so it is not done.
#pragma once

#include <cstddef>

namespace dozu {

// Does nothing for small buffers or where the system cannot do it.
void prefault(void* data, size_t bytes);

}  // namespace dozu
