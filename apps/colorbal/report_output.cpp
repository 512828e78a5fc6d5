// apps/colorbal/report_output.cpp
#include "apps/colorbal/report_output.h"

#include "apps/colorbal/number_format.h"
#include "apps/colorbal/text_utf8.h"

namespace {

const char* yesNo(bool value) { return value ? "yes" : "no"; }
const char* jsonBool(bool value) { return value ? "true" : "false"; }

std::string settingsText(const kcColorCameraSettings& s) {
    return "exposure " + kfExposureText(s.exposure()) + ", contrast " + kfPlaneSettingText(s.contrast()) +
           ", brightness " + kfPlaneSettingText(s.brightness());
}

// The units of the JSON members, for scripts and readers.
void unitsJson(std::ostream& out, const char* indent) {
    out << indent
        << "\"units\": {\"exposure\": \"s\", \"contrast\": \"0..1\", \"brightness\": \"0..1\", "
           "\"goodPelFraction\": \"0..1\", \"seconds\": \"s, wall clock\", \"timeStamp\": \"s, camera clock\", "
           "\"minExposureStepSize\": \"s\", \"exposureRange\": \"s\"},\n";
}

void warningsJson(std::ostream& out, const std::vector<std::string>& warnings) {
    out << "  \"warnings\": [";
    for (std::size_t i = 0; i < warnings.size(); ++i)
        out << (i == 0 ? "" : ", ") << "\"" << kfEscapeJson(warnings[i]) << "\"";
    out << "],\n";
}

std::string vary(const kcColorBalanceParams& p) {
    std::string axes;
    if (p.isExposureEnabled()) axes += "exposure";
    if (p.isContrastEnabled()) axes += std::string(axes.empty() ? "" : ",") + "contrast";
    if (p.isBrightnessEnabled()) axes += std::string(axes.empty() ? "" : ",") + "brightness";
    return axes.empty() ? "none" : axes;
}

void paramsJsonFields(std::ostream& out, const kcColorBalanceParams& p, const char* indent) {
    out << indent << "\"isExposureEnabled\": " << jsonBool(p.isExposureEnabled()) << ",\n"
        << indent << "\"isContrastEnabled\": " << jsonBool(p.isContrastEnabled()) << ",\n"
        << indent << "\"isBrightnessEnabled\": " << jsonBool(p.isBrightnessEnabled()) << ",\n"
        << indent << "\"minExposureStepSize\": " << kfExactNumber(p.minExposureStepSize()) << ",\n"
        << indent << "\"minContrastStepSize\": " << kfExactNumber(p.minContrastStepSize()) << ",\n"
        << indent << "\"minBrightnessStepSize\": " << kfExactNumber(p.minBrightnessStepSize()) << ",\n"
        << indent << "\"exposureRange\": ["
        << (p.exposureRange().isEmpty()
                ? std::string("]")
                : kfExactNumber(p.exposureRange().start()) + ", " + kfExactNumber(p.exposureRange().end()) + "]")
        << ",\n"
        << indent << "\"usePositive8BitLut\": " << jsonBool(p.usePositive8BitLut()) << "\n";
}

void resultJsonFields(std::ostream& out, const kcColorBalanceResult& r, const std::string& failureText,
                      const char* indent, bool last) {
    const kcAcquireInfo info = r.acqInfo();
    out << indent << "\"exposure\": " << kfExactNumber(r.exposure()) << ",\n"
        << indent << "\"contrast\": " << kfExactNumber(r.contrast()) << ",\n"
        << indent << "\"brightness\": " << kfExactNumber(r.brightness()) << ",\n"
        << indent << "\"positive8BitLut\": " << jsonBool(r.positive8BitLut()) << ",\n"
        << indent << "\"lastAcquisition\": {\"number\": " << info.acquisitionNumber()
        << ", \"timeStamp\": " << kfExactNumber(info.timeStamp()) << ", \"failureCode\": " << info.failure().code()
        << ", \"failure\": \"" << kfEscapeJson(failureText) << "\"}" << (last ? "\n" : ",\n");
}

void lastAcquisitionText(std::ostream& out, const kcColorBalanceResult& r, const std::string& failureText) {
    const kcAcquireInfo info = r.acqInfo();
    out << "last acquisition:  number " << info.acquisitionNumber() << ", at " << kfSecondsText(info.timeStamp())
        << " on the camera's own clock, " << (info.failure().isFailure() ? "FAILED: " : "") << failureText << "\n";
}

std::string optionalNumber(const std::optional<double>& value) { return value ? kfExactNumber(*value) : "null"; }

void sourceText(std::ostream& out, const kcReportSource& s) {
    if (s.isCamera)
        out << "camera:            " << s.name << " (" << s.model << ", " << s.pixelFormat << ", " << s.width << " x "
            << s.height << ")\n";
    else
        out << "scene:             " << s.name << " (" << s.width << " x " << s.height << ", seed " << s.seed << ")\n";
}

void sourceJsonFields(std::ostream& out, const kcReportSource& s) {
    if (s.isCamera)
        out << "  \"camera\": \"" << kfEscapeJson(s.name) << "\",\n"
            << "  \"pixelFormat\": \"" << kfEscapeJson(s.pixelFormat) << "\",\n";
    else
        out << "  \"scene\": \"" << kfEscapeJson(s.name) << "\",\n"
            << "  \"seed\": " << s.seed << ",\n";
    out << "  \"size\": {\"width\": " << s.width << ", \"height\": " << s.height << "},\n";
}

void goodPelsText(std::ostream& out, const kcBalanceReport& r) {
    out << "good pels:         ";
    if (r.goodFractionStart && r.goodFractionResult)
        out << kfPercentText(*r.goodFractionStart) << " at the start (" << settingsText(r.start) << "), "
            << kfPercentText(*r.goodFractionResult) << " at the result\n";
    else if (r.goodFractionResult)
        out << kfPercentText(*r.goodFractionResult) << " at the result (start: " << settingsText(r.start) << ")\n";
    else
        out << "not measured (start: " << settingsText(r.start) << ")\n";
}

std::string appliedJson(const kcAppliedSettings& a) {
    return "{\"exposure\": " + kfExactNumber(a.settings.exposure()) +
           ", \"contrast\": " + kfExactNumber(a.settings.contrast()) +
           ", \"brightness\": " + kfExactNumber(a.settings.brightness()) +
           ", \"positive8BitLut\": " + jsonBool(a.identityLut) + "}";
}

}  // namespace

std::string kfFailureCodeText(long code) { return code == 0 ? "no failure" : "failure code " + std::to_string(code); }

void kfPrintBalanceText(std::ostream& out, const kcBalanceReport& r) {
    sourceText(out, r.source);
    out << "exposure:          " << kfExposureText(r.result.exposure()) << "\n"
        << "contrast:          " << kfPlaneSettingText(r.result.contrast()) << "\n"
        << "brightness:        " << kfPlaneSettingText(r.result.brightness()) << "\n"
        << "LUT is identity:   " << yesNo(r.result.positive8BitLut()) << "\n"
        << "images taken:      " << r.images << "\n";
    goodPelsText(out, r);
    out << "time:              " << kfSecondsText(r.seconds) << " search";
    if (!r.diagnosticsDir.empty()) out << ", " << kfSecondsText(r.exportSeconds) << " diagnostics export";
    out << " (wall clock)\n";
    if (r.result.acqInfo().failure().isFailure()) lastAcquisitionText(out, r.result, r.failureText);
    if (!r.diagnosticsDir.empty())
        out << "diagnostics:       " << r.diagnosticsRecords << " records in " << r.diagnosticsDir << " (index.html)\n";
    if (r.applied)
        out << "applied:           " << settingsText(r.applied->settings) << ", LUT is identity "
            << yesNo(r.applied->identityLut) << " (read back from the camera)\n";
    for (const std::string& warning : r.warnings) out << "WARNING:           " << warning << "\n";
}

void kfPrintBalanceJson(std::ostream& out, const kcBalanceReport& r) {
    out << "{\n";
    resultJsonFields(out, r.result, r.failureText, "  ", false);
    out << "  \"images\": " << r.images << ",\n"
        << "  \"goodPelFractionStart\": " << optionalNumber(r.goodFractionStart) << ",\n"
        << "  \"goodPelFractionResult\": " << optionalNumber(r.goodFractionResult) << ",\n"
        << "  \"start\": {\"exposure\": " << kfExactNumber(r.start.exposure())
        << ", \"contrast\": " << kfExactNumber(r.start.contrast())
        << ", \"brightness\": " << kfExactNumber(r.start.brightness()) << "},\n"
        << "  \"seconds\": " << kfExactNumber(r.seconds) << ",\n";
    sourceJsonFields(out, r.source);
    warningsJson(out, r.warnings);
    unitsJson(out, "  ");
    if (!r.diagnosticsDir.empty())
        out << "  \"diagnostics\": {\"directory\": \"" << kfEscapeJson(r.diagnosticsDir)
            << "\", \"records\": " << r.diagnosticsRecords << ", \"exportSeconds\": " << kfExactNumber(r.exportSeconds)
            << "},\n";
    if (r.applied) out << "  \"applied\": " << appliedJson(*r.applied) << ",\n";
    out << "  \"params\": {\n";
    paramsJsonFields(out, r.params, "    ");
    out << "  }\n}\n";
}

void kfPrintApplied(std::ostream& out, const kcReportSource& camera, const std::string& file,
                    const kcAppliedSettings& applied, bool json) {
    if (json) {
        out << "{\n";
        sourceJsonFields(out, camera);
        unitsJson(out, "  ");
        out << "  \"file\": \"" << kfEscapeJson(file) << "\",\n"
            << "  \"applied\": " << appliedJson(applied) << "\n}\n";
        return;
    }
    sourceText(out, camera);
    out << "applied from:      " << file << "\n"
        << "exposure:          " << kfExposureText(applied.settings.exposure()) << "\n"
        << "contrast:          " << kfPlaneSettingText(applied.settings.contrast()) << "\n"
        << "brightness:        " << kfPlaneSettingText(applied.settings.brightness()) << "\n"
        << "LUT is identity:   " << yesNo(applied.identityLut) << "\n";
}

void kfPrintParams(std::ostream& out, const kcColorBalanceParams& p, bool json) {
    if (json) {
        out << "{\n  \"kind\": \"params\",\n";
        unitsJson(out, "  ");
        paramsJsonFields(out, p, "  ");
        out << "}\n";
        return;
    }
    const kcRange range = p.exposureRange();
    out << "colorbal parameters\n"
        << "vary:              " << vary(p) << "\n"
        << "exposure range:    "
        << (range.isEmpty() ? std::string("empty")
                            : kfExposureText(range.start()) + " .. " + kfExposureText(range.end()))
        << "\n"
        << "exposure step:     "
        << (p.minExposureStepSize() == 0.0 ? std::string("0 (no rounding)") : kfExposureText(p.minExposureStepSize()))
        << "\n"
        << "contrast step:     " << kfDisplayNumber(p.minContrastStepSize()) << "\n"
        << "brightness step:   " << kfDisplayNumber(p.minBrightnessStepSize()) << "\n"
        << "positive LUT:      " << (p.usePositive8BitLut() ? "on" : "off") << "\n";
}

void kfPrintResult(std::ostream& out, const kcColorBalanceResult& r, bool json) {
    if (json) {
        out << "{\n  \"kind\": \"result\",\n";
        unitsJson(out, "  ");
        resultJsonFields(out, r, kfFailureCodeText(r.acqInfo().failure().code()), "  ", true);
        out << "}\n";
        return;
    }
    out << "colorbal result\n"
        << "exposure:          " << kfExposureText(r.exposure()) << "\n"
        << "contrast:          " << kfPlaneSettingText(r.contrast()) << "\n"
        << "brightness:        " << kfPlaneSettingText(r.brightness()) << "\n"
        << "LUT is identity:   " << yesNo(r.positive8BitLut()) << "\n";
    lastAcquisitionText(out, r, kfFailureCodeText(r.acqInfo().failure().code()));
}
