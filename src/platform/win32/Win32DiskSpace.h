// The capacity and free space of the volume holding a path.
#pragma once

#include <string>

#include "WideText.h"
#include "platform/SystemFacts.h"
#include "text/Paths.h"

namespace tvx {

// false when the query fails.
bool QueryDiskSpace(const std::string& path, const TextCodec& codec, const CodePage& code,
                    DiskSpace& space);

}  // namespace tvx
