// apps/colorbal/diagnostics_export.h
// Writes the records of a diagnostics collector to a directory: per record
// a PNG of each image and an SVG of the first image with the record's
// sketch text drawn over it at the image's own size.
#pragma once

#include <string>
#include <vector>

#include "apps/colorbal/output_files.h"
#include "toolkit/diag/diag_object.h"

// What was written for one record.
struct kcExportedRecord {
    std::string stem;                // "record-001"
    std::vector<std::string> files;  // relative to the directory
};

// Files written, relative to the directory, in writing order.
struct kcDiagExport {
    long records = 0;
    std::vector<std::string> files;
    std::vector<kcExportedRecord> recordFiles;
};

// Record n (from 1) gives record-NNN.png (its first image; further images
// record-NNN-K.png) and record-NNN.svg (the first image, drawn from the
// PNG file beside it, with every text item of every sketch drawn at its
// point in its primary colour). Each image is encoded once. A record
// without images gets an SVG of its text alone. The directory appears
// whole or not at all (it must not exist or be empty); kcRunError naming
// the file and the reason when something cannot be written.
kcDiagExport kfExportDiagnostics(const kcDiagObject& diag, const std::string& directory);

// The pieces of kfExportDiagnostics, for a caller that writes more files
// beside the records or spreads them over threads: the files of record
// `index` (from 0) written into `dir`, and the summary of records written
// in order.
kcExportedRecord kfExportDiagnosticsRecord(const kcDiagRecord& record, long index, kcWholeDirectory& dir);
kcDiagExport kfDiagExportOf(std::vector<kcExportedRecord> records);

// The SVG of a record: its first image drawn from `imageHref` at the
// image's own size, its sketch text at its points (the canvas grows past a
// small image so that text beyond its edges stays visible). `standalone`
// adds the XML declaration and namespaces a file of its own needs.
std::string kfRecordSvg(const kcDiagRecord& record, const std::string& imageHref, bool standalone);
