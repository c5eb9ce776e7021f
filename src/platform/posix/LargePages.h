// Large pages for the walk's big lists, as Linux gives them.
#pragma once

#include <cstddef>

namespace tvx {

// Has the arenas' large blocks advised for large pages, where the system
// has them; a no-op elsewhere.
void UsePosixLargePages();

// Gives back the memory of the whole pages within [at, at + size): a page
// only partly inside is kept, so no byte outside is lost. They read as zeros
// when next touched.
void ReleasePages(void* at, std::size_t size);

}  // namespace tvx
