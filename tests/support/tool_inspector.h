// tests/support/tool_inspector.h
// White-box access to a kcColorBalanceTool for the tests.
#pragma once

#include "clbl/internal/search_state.h"
#include "clbl/tool.h"

class kcColorBalanceToolInspector {
public:
    explicit kcColorBalanceToolInspector(kcColorBalanceTool& tool) : tool_(tool) {}

    kcColorBalanceToolState& state() { return *tool_.state_; }
    kcColorCameraSettings& current() { return tool_.currentSettings_; }
    bool& greyMode() { return tool_.greyMode_; }
    kcColorBalanceParams& params() { return tool_.params_; }
    std::vector<kcColorBalanceMeasuredSetting>& tried() { return tool_.triedSettings_; }

    bool assignNextSettings(bool check) { return tool_.assignNextSettings(check); }
    kcColorCameraSettings greyStep(const kcPelBuffer<unsigned char>& image) {
        return tool_.nextSettingsFromGreyImage(image, nullptr, 0);
    }
    kcColorCameraSettings colorStep(const kc3PlanePelBuffer& image) {
        return tool_.nextSettingsFromColorImage(image, nullptr, 0);
    }

private:
    kcColorBalanceTool& tool_;
};
