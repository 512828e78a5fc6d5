// apps/colorbal/diagnostics_export.h
// Writes a diagnostics collector to a directory a person can browse: per
// record a PNG of each image, an SVG of the first image with the record's
// sketch text drawn over it, and an index.html listing the records.
#pragma once

#include <string>
#include <vector>

#include "toolkit/diag/diag_object.h"

// Files written, relative to the directory, in writing order.
struct kcDiagExport {
    long records = 0;
    std::vector<std::string> files;
};

// Record n (from 1) gives record-NNN.png (its first image; further images
// record-NNN-K.png), record-NNN.svg (the first image embedded as a PNG
// data URI, with every text item of every sketch drawn at its point in its
// primary colour), then index.html. A record without images gets an SVG of
// its text alone. The directory appears whole or not at all (it must not
// exist or be empty); kcRunError naming the file and the reason when
// something cannot be written.
kcDiagExport kfExportDiagnostics(const kcDiagObject& diag, const std::string& directory);

// The base64 form of bytes (for data URIs).
std::string kfBase64(const std::vector<unsigned char>& bytes);
