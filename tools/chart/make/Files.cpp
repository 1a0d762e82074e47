#include "tools/chart/make/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace zorv::chartmake {
namespace {

std::string why() { return std::strerror(errno); }

// An open temporary file beside `target`, removed unless committed.
class TempFile {
public:
    explicit TempFile(const std::filesystem::path& target) : target_(target)
    {
        const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
        std::string name = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
        fd_ = mkstemp(name.data());
        if (fd_ < 0)
            throw FileError("cannot write " + target.string() + ": " + why());
        path_ = name;
    }
    ~TempFile()
    {
        if (fd_ >= 0)
            close(fd_);
        if (!committed_)
            unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    void write(const char* data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::write(fd_, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw FileError("cannot write " + target_.string() + ": " + why());
            data += n;
            size -= static_cast<std::size_t>(n);
        }
    }

    // Makes the file readable like any other the user creates, flushes it to
    // the disk and puts it in place.
    void commit()
    {
        const mode_t mask = umask(0);
        umask(mask);
        if (fchmod(fd_, 0666 & ~mask) != 0 || fsync(fd_) != 0 || close(fd_) != 0) {
            fd_ = -1;
            throw FileError("cannot write " + target_.string() + ": " + why());
        }
        fd_ = -1;
        if (std::rename(path_.c_str(), target_.c_str()) != 0)
            throw FileError("cannot write " + target_.string() + ": " + why());
        committed_ = true;
    }

private:
    std::filesystem::path target_;
    std::string path_;
    int fd_ = -1;
    bool committed_ = false;
};

class Input {
public:
    explicit Input(const std::filesystem::path& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Input()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    bool ok() const { return fd_ >= 0; }
    // Bytes read into `buffer`, 0 at the end, -1 on an error.
    ssize_t read(std::vector<char>& buffer)
    {
        for (;;) {
            const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
            if (n >= 0 || errno != EINTR)
                return n;
        }
    }

private:
    int fd_;
};

constexpr std::size_t kChunk = 1 << 16;

// Where the bytes must end up: through any symbolic links, so a link keeps
// pointing where it did and gets the new bytes at its far end.
std::filesystem::path finalTarget(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? path : real;
}

// A target that exists and is not a regular file (/dev/null, a terminal, a
// FIFO) is written in place: renaming over it would replace a device node
// with a plain file, and a half-written chart cannot happen to one.
bool isSpecialFile(const std::filesystem::path& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

void writeInPlace(const std::filesystem::path& path, std::string_view bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        throw FileError("cannot write " + path.string() + ": " + why());
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const std::string cause = why();
            close(fd);
            throw FileError("cannot write " + path.string() + ": " + cause);
        }
        done += static_cast<std::size_t>(n);
    }
    close(fd);
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes)
{
    const std::filesystem::path target = finalTarget(path);
    if (isSpecialFile(target)) {
        writeInPlace(target, bytes);
        return;
    }
    TempFile file(target);
    file.write(bytes.data(), bytes.size());
    file.commit();
}

void copyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to)
{
    Input in(from);
    if (!in.ok())
        throw FileError("cannot read " + from.string() + ": " + why());
    const std::filesystem::path target = finalTarget(to);
    if (isSpecialFile(target))
        throw FileError("cannot write " + to.string() + ": not a regular file");
    TempFile file(target);
    std::vector<char> buffer(kChunk);
    for (ssize_t n; (n = in.read(buffer)) != 0;) {
        if (n < 0)
            throw FileError("cannot read " + from.string() + ": " + why());
        file.write(buffer.data(), static_cast<std::size_t>(n));
    }
    file.commit();
}

bool sameContent(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    if (std::filesystem::file_size(a, error) != std::filesystem::file_size(b, error) || error)
        return false;
    Input first(a);
    Input second(b);
    if (!first.ok() || !second.ok())
        return false;
    std::vector<char> x(kChunk);
    std::vector<char> y(kChunk);
    for (;;) {
        const ssize_t n = first.read(x);
        // Regular files of equal size: each read fills as far as the other.
        if (n != second.read(y) || n < 0)
            return false;
        if (n == 0)
            return true;
        if (std::memcmp(x.data(), y.data(), static_cast<std::size_t>(n)) != 0)
            return false;
    }
}

}  // namespace zorv::chartmake
