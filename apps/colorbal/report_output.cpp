// apps/colorbal/report_output.cpp
#include "apps/colorbal/report_output.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "apps/colorbal/text_utf8.h"

namespace {

// A number for the text output: exact, and readable when not finite.
std::string num(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    return kfExactNumber(value);
}

const char* yesNo(bool value) { return value ? "yes" : "no"; }
const char* jsonBool(bool value) { return value ? "true" : "false"; }

std::string percent(double fraction) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.1f %%", fraction * 100.0);
    return buffer.data();
}

std::string seconds(double value) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.2f s", value);
    return buffer.data();
}

std::string settingsText(const kcColorCameraSettings& s) {
    return "exposure " + num(s.exposure()) + ", contrast " + num(s.contrast()) + ", brightness " + num(s.brightness());
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
    out << "last acquisition:  number " << info.acquisitionNumber() << ", at " << num(info.timeStamp()) << " s, "
        << (info.failure().isFailure() ? "FAILED: " : "") << failureText << "\n";
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
        out << percent(*r.goodFractionStart) << " at the start (" << settingsText(r.start) << "), "
            << percent(*r.goodFractionResult) << " at the result\n";
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
    out << "exposure:          " << num(r.result.exposure()) << "\n"
        << "contrast:          " << num(r.result.contrast()) << "\n"
        << "brightness:        " << num(r.result.brightness()) << "\n"
        << "LUT is identity:   " << yesNo(r.result.positive8BitLut()) << "\n"
        << "images taken:      " << r.images << "\n";
    goodPelsText(out, r);
    out << "time:              " << seconds(r.seconds) << "\n";
    if (r.result.acqInfo().failure().isFailure()) lastAcquisitionText(out, r.result, r.failureText);
    if (!r.diagnosticsDir.empty())
        out << "diagnostics:       " << r.diagnosticsRecords << " records in " << r.diagnosticsDir << " (index.html)\n";
    if (r.applied)
        out << "applied:           " << settingsText(r.applied->settings) << ", LUT is identity "
            << yesNo(r.applied->identityLut) << " (read back from the camera)\n";
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
    if (!r.diagnosticsDir.empty())
        out << "  \"diagnostics\": {\"directory\": \"" << kfEscapeJson(r.diagnosticsDir)
            << "\", \"records\": " << r.diagnosticsRecords << "},\n";
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
        out << "  \"file\": \"" << kfEscapeJson(file) << "\",\n"
            << "  \"applied\": " << appliedJson(applied) << "\n}\n";
        return;
    }
    sourceText(out, camera);
    out << "applied from:      " << file << "\n"
        << "exposure:          " << num(applied.settings.exposure()) << "\n"
        << "contrast:          " << num(applied.settings.contrast()) << "\n"
        << "brightness:        " << num(applied.settings.brightness()) << "\n"
        << "LUT is identity:   " << yesNo(applied.identityLut) << "\n";
}

void kfPrintParams(std::ostream& out, const kcColorBalanceParams& p, bool json) {
    if (json) {
        out << "{\n  \"kind\": \"params\",\n";
        paramsJsonFields(out, p, "  ");
        out << "}\n";
        return;
    }
    const kcRange range = p.exposureRange();
    out << "colorbal parameters\n"
        << "vary:              " << vary(p) << "\n"
        << "exposure range:    "
        << (range.isEmpty() ? std::string("empty") : num(range.start()) + " .. " + num(range.end())) << "\n"
        << "exposure step:     " << num(p.minExposureStepSize()) << "\n"
        << "contrast step:     " << num(p.minContrastStepSize()) << "\n"
        << "brightness step:   " << num(p.minBrightnessStepSize()) << "\n"
        << "positive LUT:      " << (p.usePositive8BitLut() ? "on" : "off") << "\n";
}

void kfPrintResult(std::ostream& out, const kcColorBalanceResult& r, bool json) {
    if (json) {
        out << "{\n  \"kind\": \"result\",\n";
        resultJsonFields(out, r, kfFailureCodeText(r.acqInfo().failure().code()), "  ", true);
        out << "}\n";
        return;
    }
    out << "colorbal result\n"
        << "exposure:          " << num(r.exposure()) << "\n"
        << "contrast:          " << num(r.contrast()) << "\n"
        << "brightness:        " << num(r.brightness()) << "\n"
        << "LUT is identity:   " << yesNo(r.positive8BitLut()) << "\n";
    lastAcquisitionText(out, r, kfFailureCodeText(r.acqInfo().failure().code()));
}
