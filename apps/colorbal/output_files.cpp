// apps/colorbal/output_files.cpp
#include "apps/colorbal/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/interrupt.h"

namespace fs = std::filesystem;

namespace {

// Attempts at a free temporary name before giving up.
constexpr int kTemporaryNameAttempts = 100;

std::string reason(int error) { return std::strerror(error); }

[[noreturn]] void failWrite(const std::string& name, int error) {
    throw kcRunError("cannot write '" + name + "': " + reason(error));
}

// The directory a path's last component lives in ("." for a bare name).
fs::path directoryOf(const fs::path& path) {
    const fs::path parent = path.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// A name beside `path` that no reader takes for the output: hidden, and
// unique to this process and call.
fs::path temporarySibling(const fs::path& path) {
    static std::atomic<unsigned long> counter{0};
    return directoryOf(path) / ("." + path.filename().string() + ".tmp-" + std::to_string(getpid()) + "-" +
                                std::to_string(counter.fetch_add(1)));
}

// Owns an open descriptor; close() reports a failing close.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // 0, or the errno of the failed close.
    int close() {
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// Removes a file on every way out unless released.
class RemoveUnlessKept {
public:
    explicit RemoveUnlessKept(fs::path path) : path_(std::move(path)) {}
    ~RemoveUnlessKept() {
        if (!kept_) ::unlink(path_.c_str());
    }
    RemoveUnlessKept(const RemoveUnlessKept&) = delete;
    RemoveUnlessKept& operator=(const RemoveUnlessKept&) = delete;
    void keep() { kept_ = true; }

private:
    fs::path path_;
    bool kept_ = false;
};

// Creates a new file at a fresh temporary name beside `path`; -1 with
// errno set when it cannot.
int createTemporary(const fs::path& path, fs::path& created) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        created = temporarySibling(path);
        const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Writes all of `bytes` to `fd` and forces them to the device, so that a
// full disk is reported here and not lost at close; kcRunError naming
// `name`.
void writeAll(int fd, std::string_view bytes, const std::string& name) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            failWrite(name, errno);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd) != 0 && errno != EINVAL) failWrite(name, errno);
}

// A new file at exactly `path` (inside a temporary directory), written
// whole or removed.
void writeNewFile(const fs::path& path, std::string_view bytes, const std::string& name) {
    Descriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) failWrite(name, errno);
    RemoveUnlessKept remove(path);
    writeAll(fd.get(), bytes, name);
    if (const int error = fd.close()) failWrite(name, error);
    remove.keep();
}

// The file a write to `path` replaces: a symbolic link is followed, so
// that the link stays and its file is replaced.
fs::path resolveLink(const std::string& path) {
    std::error_code ec;
    if (!fs::is_symlink(path, ec)) return path;
    const fs::path resolved = fs::weakly_canonical(path, ec);
    return ec ? fs::path(path) : resolved;
}

// A directory target without a trailing separator or dot components.
fs::path normalTarget(const std::string& path) {
    fs::path p = fs::path(path).lexically_normal();
    return p.has_filename() ? p : p.parent_path();
}

// Checks that `path`'s directory exists and takes new entries.
void checkParent(const std::string& option, const std::string& path, const fs::path& resolved) {
    const fs::path parent = resolved.parent_path();
    struct stat st {};
    if (parent.empty() || (::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        // A probe file says whether new entries can be made there.
        fs::path probe;
        Descriptor fd(createTemporary(resolved, probe));
        if (fd.get() < 0)
            throw kcUsageError(option + ": cannot create files in the directory '" + directoryOf(resolved).string() +
                               "' of '" + path + "': " + reason(errno));
        ::unlink(probe.c_str());
        return;
    }
    // Name the part of the path that is in the way, when one is.
    fs::path prefix;
    for (const fs::path& part : parent) {
        prefix /= part;
        if (::stat(prefix.c_str(), &st) != 0) break;
        if (!S_ISDIR(st.st_mode))
            throw kcUsageError(option + ": '" + prefix.string() + "' in '" + path + "' is " +
                               (S_ISREG(st.st_mode) ? "a file, not a directory" : "not a directory"));
    }
    const int error = ::stat(parent.c_str(), &st) == 0 ? 0 : errno;
    if (error != 0 && error != ENOENT)
        throw kcUsageError(option + ": cannot reach the directory '" + parent.string() + "' of '" + path +
                           "': " + reason(error));
    throw kcUsageError(option + ": the directory '" + parent.string() + "' of '" + path + "' does not exist");
}

}  // namespace

void kfWriteFileWhole(const std::string& path, std::string_view bytes) {
    const fs::path target = resolveLink(path);
    // Only a regular file is replaced (never a device or a directory); it
    // keeps its permissions.
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        throw kcRunError("cannot write '" + path + "': it exists and is not a regular file");
    fs::path temporary;
    Descriptor fd(createTemporary(target, temporary));
    if (fd.get() < 0) failWrite(path, errno);
    RemoveUnlessKept remove(temporary);
    if (exists && ::fchmod(fd.get(), existing.st_mode & 07777) != 0) failWrite(path, errno);
    writeAll(fd.get(), bytes, path);
    if (const int error = fd.close()) failWrite(path, error);
    if (::rename(temporary.c_str(), target.c_str()) != 0) failWrite(path, errno);
    remove.keep();
}

void kfWriteFileWhole(const std::string& path, const std::vector<unsigned char>& bytes) {
    kfWriteFileWhole(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

kcWholeDirectory::kcWholeDirectory(std::string target) : target_(std::move(target)) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary_ = temporarySibling(normalTarget(target_));
        if (::mkdir(temporary_.c_str(), 0777) == 0) return;
        if (errno != EEXIST) break;
    }
    throw kcRunError("cannot create the directory '" + target_ + "': " + reason(errno));
}

kcWholeDirectory::~kcWholeDirectory() {
    if (committed_) return;
    std::error_code ec;
    fs::remove_all(temporary_, ec);
}

void kcWholeDirectory::write(const std::string& name, std::string_view bytes) {
    // A long export stops between files when a signal asks; unwinding
    // removes what was written.
    kfThrowIfInterrupted("'" + target_ + "' was not written");
    writeNewFile(temporary_ / name, bytes, (fs::path(target_) / name).string());
}

void kcWholeDirectory::write(const std::string& name, const std::vector<unsigned char>& bytes) {
    write(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void kcWholeDirectory::makeDirectory(const std::string& name) {
    if (::mkdir((temporary_ / name).c_str(), 0777) != 0)
        throw kcRunError("cannot create the directory '" + (fs::path(target_) / name).string() + "': " + reason(errno));
}

void kcWholeDirectory::commit() {
    // rename() replaces an empty directory at the target and refuses a
    // directory with entries, so nothing there is ever lost.
    if (::rename(temporary_.c_str(), normalTarget(target_).c_str()) != 0)
        throw kcRunError("cannot create the directory '" + target_ + "': " + reason(errno));
    committed_ = true;
}

void kfCheckOutputFile(const std::string& option, const std::string& path) {
    if (path.empty()) throw kcUsageError(option + ": the file name is empty");
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) throw kcUsageError(option + ": '" + path + "' is a directory");
        if (!S_ISREG(st.st_mode))
            throw kcUsageError(option + ": '" + path + "' is not a regular file; it would be replaced");
    }
    checkParent(option, path, resolveLink(path));
}

void kfCheckOutputDirectory(const std::string& option, const std::string& path) {
    if (path.empty()) throw kcUsageError(option + ": the directory name is empty");
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) throw kcUsageError(option + ": '" + path + "' exists and is not a directory");
        if (!fs::is_empty(path, ec) || ec)
            throw kcUsageError(option + ": '" + path + "' is a directory that is not empty");
    }
    checkParent(option, path, normalTarget(path));
}
