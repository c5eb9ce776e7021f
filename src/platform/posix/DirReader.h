// Reading one open directory whole, straight from the kernel.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/HeldListing.h"

namespace tvx {

// Reads the open directory fd whole into out, in large batches, with a stat
// call only for what must be asked: the type when the directory read did not
// give it, sizes, times and the owner's right to write when withDetails.
// buffer is scratch space.
void ReadListing(int fd, bool withDetails, std::vector<char>& buffer, HeldListing& out);

}  // namespace tvx
