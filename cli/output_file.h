#pragma once
// The files thornwake-levels writes besides the image: an export, a patch.

#include <string>

#include "status.h"

namespace thornwake::cli {

// Replaces the file at `path` with `bytes` whole or not at all: the bytes go to
// a temporary file in the same folder, which is flushed and then renamed over
// `path`; on failure the old file is as it was and the temporary file is gone.
// A link is followed; a link to nothing is refused, as is a file a shell's
// redirect could not write. The owner, group and mode stay. A FIFO or device,
// which cannot be replaced, is written in place. The message names `path` and
// the system's reason.
Status ReplaceFile(const std::string& path, const std::string& bytes);

}  // namespace thornwake::cli
