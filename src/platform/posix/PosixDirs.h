// Entering and reading one directory: a descriptor opened relative to its
// parent's (which keeps paths longer than PATH_MAX working), read whole.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/DirSource.h"

namespace tvx {

// Raises IoFailure when fullPath cannot be entered, ShortageFailure when no
// descriptor is left. A directory that can be entered but not opened for
// reading gives a handle whose read fails.
std::unique_ptr<DirHandle> EnterPosixRoot(const std::string& fullPath);
std::unique_ptr<DirHandle> EnterPosixChild(DirHandle& parent, std::string_view name);
// Reads dir whole; its entries' times are converted to local time when they
// are reported.
// storage: each entry's Storage is filled too.
std::unique_ptr<DirListing> ReadPosixDir(DirHandle& dir, bool withDetails, bool storage = false);

// What stat tells of the storage of the directory at fullPath.
StorageFacts PosixStorageOf(const std::string& fullPath);

}  // namespace tvx
