#pragma once
// Writing files so that nobody ever finds one half-written: everything goes
// to a temporary file beside the target first and is renamed over it once
// complete, so the target holds either what it held before or all of the new
// bytes. Symbolic links are followed, so a link keeps pointing where it did.

#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace zorv::chartmake {

// A file could not be written or copied; the message names it and the cause.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A target that exists and is not a regular file (/dev/null, a terminal, a
// FIFO) is written in place instead, since renaming would replace it.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Copies the regular file `from` to `to` the same way; refuses a `to` that
// exists and is not a regular file.
void copyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to);

// Whether two files hold the same bytes; false when either cannot be read.
bool sameContent(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace zorv::chartmake
