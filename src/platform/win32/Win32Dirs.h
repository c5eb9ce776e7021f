// Entering and reading one directory on the UTF-16 calls: every name reaches
// the output exactly, as its short name, or marked inexact; directories are
// entered and read by their UTF-16 paths in the extended form, which has no
// MAX_PATH limit.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "WideText.h"
#include "platform/DirSource.h"

namespace tvx {

// Raise IoFailure with the system's error when the directory cannot be
// entered.
std::unique_ptr<DirHandle> EnterWin32Root(const std::string& fullPath, const TextCodec& codec);
// name is one the parent's read reported (found by its UTF-16 name, so an
// inexact one is entered too), or a name in the output's code page.
std::unique_ptr<DirHandle> EnterWin32Child(DirHandle& parent, std::string_view name,
                                           const TextCodec& codec);
std::unique_ptr<DirListing> ReadWin32Dir(DirHandle& dir, bool withDetails, const TextCodec& codec);

}  // namespace tvx
