// Reading one open directory whole, straight from the kernel.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <vector>

#include "platform/HeldListing.h"

namespace tvx {

// Reads the open directory fd whole into out, in large batches, with a stat
// call only for what must be asked: the type when the directory read did not
// give it, sizes, times and the owner's right to write when withDetails.
// storage: every entry is stat'ed and its Storage filled. buffer is scratch
// space.
void ReadOpenDirectory(int fd, bool withDetails, bool storage, std::vector<char>& buffer,
                       HeldListing& out);

// The storage facts a stat gave.
StorageFacts StorageOfStat(const struct stat& st);

}  // namespace tvx
