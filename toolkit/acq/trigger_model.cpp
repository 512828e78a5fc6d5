// toolkit/acq/trigger_model.cpp
#include "toolkit/acq/trigger_model.h"

namespace {
class NamedTriggerModel final : public kcTriggerModel {
public:
    explicit NamedTriggerModel(const char* name) : name_(name) {}
    std::string name() const override { return name_; }

private:
    const char* name_;
};
}  // namespace

kcTriggerModel::~kcTriggerModel() = default;

const kcTriggerModel& kfManualTrigger() {
    static const NamedTriggerModel model("manual");
    return model;
}

const kcTriggerModel& kfFreeRunTrigger() {
    static const NamedTriggerModel model("free run");
    return model;
}

const kcTriggerModel& kfHardwareTrigger() {
    static const NamedTriggerModel model("hardware");
    return model;
}
