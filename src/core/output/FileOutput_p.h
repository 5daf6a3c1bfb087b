#pragma once

namespace kelvane::detail {

/// Whether replacements may use unnamed files (O_TMPFILE) where the file system has them. Tests
/// turn it off to take the path that file systems without them (NFS, CIFS, vfat) take.
void setUnnamedFilesAllowed(bool allowed) noexcept;

} // namespace kelvane::detail
