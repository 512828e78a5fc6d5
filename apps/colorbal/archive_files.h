// apps/colorbal/archive_files.h
// The program's archive files: a kcArchive holding a tag string that says
// what follows ("colorbal-params" or "colorbal-result"), then that record.
#pragma once

#include <string>

#include "clbl/params.h"
#include "clbl/result.h"

constexpr const char* kParamsFileTag = "colorbal-params";
constexpr const char* kResultFileTag = "colorbal-result";

// Writes a tagged archive; kcRunError naming the file when it cannot.
void kfWriteParamsFile(const std::string& path, const kcColorBalanceParams& params);
void kfWriteResultFile(const std::string& path, const kcColorBalanceResult& result);

// What a tagged archive file held.
struct kcArchiveFileContents {
    enum Kind { eParams, eResult };
    Kind kind = eParams;
    kcColorBalanceParams params;  // when kind is eParams
    kcColorBalanceResult result;  // when kind is eResult
};

// Reads a tagged archive. kcUsageError naming the file when it cannot be
// read, holds neither tag, is truncated or corrupted, has bytes after the
// record, or holds a record newer than this program knows.
kcArchiveFileContents kfReadArchiveFile(const std::string& path);

// Reads a parameter archive for --params; kcUsageError naming --params
// and the file for anything else.
kcColorBalanceParams kfReadParamsFile(const std::string& path);
