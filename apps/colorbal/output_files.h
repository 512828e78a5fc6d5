// apps/colorbal/output_files.h
// Outputs that a reader sees whole or not at all: a file is written under a
// temporary name in its own directory and renamed into place once complete;
// a directory is filled under a temporary sibling name and renamed into
// place at the end. Every write is checked; a failure removes what was
// written (also when a signal makes the program unwind) and throws
// kcRunError naming the file and the system's reason. The checks that run
// before any work throw kcUsageError naming the option.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Writes `bytes` to `path` whole or not at all. A symbolic link at `path`
// is kept and the file it names is replaced, with its permissions; anything
// but a regular file there is refused.
void kfWriteFileWhole(const std::string& path, std::string_view bytes);
void kfWriteFileWhole(const std::string& path, const std::vector<unsigned char>& bytes);

// A directory that appears whole at `target` when committed, or not at all.
class kcWholeDirectory {
public:
    // Creates the temporary sibling of `target`. `target` must not exist
    // or be an empty directory (checked again at commit).
    explicit kcWholeDirectory(std::string target);
    // Removes the temporary directory and everything in it unless committed.
    ~kcWholeDirectory();
    kcWholeDirectory(const kcWholeDirectory&) = delete;
    kcWholeDirectory& operator=(const kcWholeDirectory&) = delete;

    // Writes the file `name` (relative, may name a subdirectory made with
    // makeDirectory) into the directory; errors name it under the target.
    // kcInterrupted, before writing, when a signal is pending.
    void write(const std::string& name, std::string_view bytes);
    void write(const std::string& name, const std::vector<unsigned char>& bytes);
    void makeDirectory(const std::string& name);

    // Where files are written until commit, for writers that need a path.
    const std::filesystem::path& temporaryPath() const { return temporary_; }
    const std::string& target() const { return target_; }

    // Renames the directory into place. kcRunError when it cannot (the
    // temporary directory is then removed by the destructor).
    void commit();

private:
    std::string target_;
    std::filesystem::path temporary_;
    bool committed_ = false;
};

// Checks, before any work, that a file can be written at `path`: the name
// is not empty, no directory and no special file is there, its directory
// exists and a file can be created in it. kcUsageError starting with
// `option`.
void kfCheckOutputFile(const std::string& option, const std::string& path);

// Checks, before any work, that a whole directory can appear at `path`:
// nothing is there or an empty directory, and its parent exists and takes
// new entries. kcUsageError starting with `option`.
void kfCheckOutputDirectory(const std::string& option, const std::string& path);
