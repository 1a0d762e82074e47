#include "tools/open/SongCache.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <system_error>
#include <thread>
#include <utility>

namespace fs = std::filesystem;

namespace zorv::opensong {
namespace {

constexpr std::size_t kKeyDigits = 32;
constexpr std::string_view kScratchPrefix = ".tmp-";
constexpr std::string_view kLockSuffix = ".lock";
constexpr auto kLockPoll = std::chrono::milliseconds(50);

std::string why() { return std::strerror(errno); }

bool isKey(std::string_view name)
{
    return name.size() == kKeyDigits && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// Marks a folder as used now; the cache keeps the folders used last.
void touch(const fs::path& folder) { utimensat(AT_FDCWD, folder.c_str(), nullptr, 0); }

// Held while folders are looked up, renamed into place and removed, so that
// a folder found is not removed before it is touched. Never removed itself.
class CacheLock {
public:
    explicit CacheLock(const fs::path& cache)
    {
        const fs::path path = cache / ".lock";
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0)
            throw CacheError("cannot write in " + cache.string() + ": " + why());
        while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~CacheLock() { close(fd_); }
    CacheLock(const CacheLock&) = delete;
    CacheLock& operator=(const CacheLock&) = delete;

private:
    int fd_;
};

void addFile(QCryptographicHash& hash, const fs::path& song, const CancelCheck& cancelled)
{
    std::ifstream in(song, std::ios::binary);
    if (!in)
        throw SongError(song, SongError::Kind::unreadable, errno != 0 ? why() : "cannot be read");
    std::vector<char> buffer(1 << 20);
    while (in) {
        if (cancelled && cancelled())
            throw Cancelled();
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        hash.addData(QByteArrayView(buffer.data(), static_cast<qsizetype>(in.gcount())));
    }
    if (in.bad())
        throw SongError(song, SongError::Kind::unreadable, "reading it failed");
}

}  // namespace

fs::path cacheFolderFor(const char* xdgDataHome, const char* home)
{
    if (xdgDataHome != nullptr && fs::path(xdgDataHome).is_absolute())
        return fs::path(xdgDataHome) / "zorv" / "songs";
    if (home != nullptr && *home != '\0')
        return fs::path(home) / ".local" / "share" / "zorv" / "songs";
    return {};
}

std::string contentKey(const std::vector<fs::path>& songs, std::string_view salt, const CancelCheck& cancelled)
{
    QCryptographicHash all(QCryptographicHash::Sha256);
    all.addData(QByteArrayView(salt.data(), static_cast<qsizetype>(salt.size())));
    for (const fs::path& song : songs) {
        QCryptographicHash one(QCryptographicHash::Sha256);
        addFile(one, song, cancelled);
        all.addData(one.result().toHex());
    }
    return all.result().toHex().left(kKeyDigits).toStdString();
}

KeyLock::KeyLock(const fs::path& cache, std::string_view key)
    : path_(cache / ("." + std::string(key) + std::string(kLockSuffix)))
{}

KeyLock::~KeyLock()
{
    if (fd_ >= 0) {
        unlink(path_.c_str());
        close(fd_);
    }
}

bool KeyLock::tryHold()
{
    if (fd_ >= 0)
        return true;
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        throw CacheError("cannot write " + path_.string() + ": " + why());
    // A file system without locks (ENOLCK, EINVAL) would keep us waiting
    // for ever: go on unlocked. Two opens then chart the same song twice,
    // and the rename keeps the first folder whole.
    const bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
    const bool lockless = !locked && errno != EWOULDBLOCK && errno != EINTR;
    struct stat held {};
    struct stat named {};
    if (lockless || (locked && fstat(fd, &held) == 0 && stat(path_.c_str(), &named) == 0 &&
                     held.st_ino == named.st_ino && held.st_dev == named.st_dev)) {
        fd_ = fd;
        return true;
    }
    close(fd);
    return false;
}

void KeyLock::hold(const CancelCheck& cancelled)
{
    while (!tryHold()) {
        if (cancelled && cancelled())
            throw Cancelled();
        std::this_thread::sleep_for(kLockPoll);
    }
}

SongCache::SongCache(fs::path folder) : folder_(std::move(folder))
{
    if (folder_.empty())
        throw CacheError("there is no data folder to keep the charts in (neither XDG_DATA_HOME nor HOME is set)");
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error || !fs::is_directory(folder_, error))
        throw CacheError("cannot create the folder " + folder_.string() + ": " +
                         (error ? error.message() : "something else is there"));
}

fs::path SongCache::find(std::string_view key) const
{
    const CacheLock lock(folder_);
    const fs::path folder = folder_ / key;
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return {};
    touch(folder);
    return folder;
}

void SongCache::removeScratch(std::string_view key) const
{
    const std::string prefix = std::string(kScratchPrefix) + std::string(key) + "-";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
        if (entry.path().filename().string().starts_with(prefix))
            fs::remove_all(entry.path(), error);
    }
}

fs::path SongCache::scratch(std::string_view key) const
{
    removeScratch(key);
    const std::string prefix = std::string(kScratchPrefix) + std::string(key) + "-";
    std::string name = (folder_ / (prefix + "XXXXXX")).string();
    if (mkdtemp(name.data()) == nullptr)
        throw CacheError("cannot create a folder in " + folder_.string() + ": " + why());
    return name;
}

fs::path SongCache::commit(std::string_view key, const fs::path& scratch) const
{
    const CacheLock lock(folder_);
    const fs::path folder = folder_ / key;
    std::error_code error;
    if (std::rename(scratch.c_str(), folder.c_str()) != 0) {
        const int cause = errno;
        if (!fs::is_directory(folder, error))
            throw CacheError("cannot rename " + scratch.string() + " to " + folder.string() + ": " +
                             std::strerror(cause));
        fs::remove_all(scratch, error);
    }
    touch(folder);
    prune(key);
    return folder;
}

void SongCache::prune(std::string_view keep) const
{
    std::vector<std::pair<fs::file_time_type, fs::path>> folders;
    std::vector<std::string> leftKeys;  // keys with scratch folders or lock files
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
        const std::string name = entry.path().filename().string();
        if (isKey(name) && name != keep && entry.is_directory(error)) {
            folders.emplace_back(entry.last_write_time(error), entry.path());
        } else if (name.starts_with(kScratchPrefix) && name.size() > kScratchPrefix.size() + kKeyDigits) {
            leftKeys.push_back(name.substr(kScratchPrefix.size(), kKeyDigits));
        } else if (name.starts_with('.') && name.ends_with(kLockSuffix) &&
                   name.size() == 1 + kKeyDigits + kLockSuffix.size()) {
            leftKeys.push_back(name.substr(1, kKeyDigits));
        }
    }
    std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t i = kKeptFolders - 1; i < folders.size(); ++i)
        fs::remove_all(folders[i].second, error);

    std::sort(leftKeys.begin(), leftKeys.end());
    leftKeys.erase(std::unique(leftKeys.begin(), leftKeys.end()), leftKeys.end());
    for (const std::string& key : leftKeys) {
        if (!isKey(key) || key == keep)
            continue;
        try {
            KeyLock lock(folder_, key);
            if (lock.tryHold())
                removeScratch(key);  // nobody is making it; letting go removes the lock file
        } catch (const CacheError&) {
            // Left for a later run: the folder is in place already.
        }
    }
}

}  // namespace zorv::opensong
