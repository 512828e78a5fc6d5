// apps/colorbal/archive_files.cpp
#include "apps/colorbal/archive_files.h"

#include <optional>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/output_files.h"
#include "toolkit/foundation/archive.h"

namespace {

// The tag, then the record, written to `path`.
template <class Record>
void writeRecord(const std::string& path, const char* tagText, Record record) {
    kcArchive ar = kcArchive::storing();
    std::string tag = tagText;
    ar || tag;
    ar || record;
    kfWriteFileWhole(path, ar.bytes());
}

}  // namespace

void kfWriteParamsFile(const std::string& path, const kcColorBalanceParams& params) {
    writeRecord(path, kParamsFileTag, params);
}

void kfWriteResultFile(const std::string& path, const kcColorBalanceResult& result) {
    writeRecord(path, kResultFileTag, result);
}

kcArchiveFileContents kfReadArchiveFile(const std::string& path) {
    std::optional<kcArchive> ar;
    try {
        ar.emplace(kcArchive::loadingFile(path));
    } catch (const kcException& e) {
        throw kcUsageError("cannot read '" + path + "': " + e.what());
    }
    const std::string neither = "'" + path + "' is neither a colorbal parameter archive nor a colorbal result archive";
    // The tag says what the file is; a file whose first bytes are no tag
    // of ours is not one of our archives at all.
    std::string tag;
    try {
        *ar || tag;
    } catch (const kcArchive::Errors&) {
        throw kcUsageError(neither);
    }
    kcArchiveFileContents contents;
    if (tag == kParamsFileTag)
        contents.kind = kcArchiveFileContents::eParams;
    else if (tag == kResultFileTag)
        contents.kind = kcArchiveFileContents::eResult;
    else
        throw kcUsageError(neither);
    try {
        if (contents.kind == kcArchiveFileContents::eParams)
            *ar || contents.params;
        else
            *ar || contents.result;
    } catch (const kcArchive::UnknownVersion& e) {
        throw kcUsageError("'" + path + "' holds a record of a version this program does not know: written by a " +
                           "newer program, or corrupted (" + e.what() + ")");
    } catch (const kcArchive::Errors& e) {
        throw kcUsageError("'" + path + "' is truncated or corrupted: " + e.what());
    }
    if (const std::size_t extra = ar->remaining(); extra != 0)
        throw kcUsageError("'" + path + "' is corrupted: " + std::to_string(extra) +
                           (extra == 1 ? " unexpected byte" : " unexpected bytes") + " after the record");
    return contents;
}

kcColorBalanceParams kfReadParamsFile(const std::string& path) {
    kcArchiveFileContents contents;
    try {
        contents = kfReadArchiveFile(path);
    } catch (const kcUsageError& e) {
        throw kcUsageError(std::string("--params: ") + e.what());
    }
    if (contents.kind != kcArchiveFileContents::eParams)
        throw kcUsageError("--params: '" + path + "' is a result archive, not a parameter archive");
    return contents.params;
}
