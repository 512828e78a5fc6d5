// Trigger models, property tables, completion arguments and the attention check.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/thrown.h"
#include "toolkit/acq/acq_fifo.h"
#include "toolkit/acq/acq_props.h"
#include "toolkit/acq/trigger_model.h"
#include "toolkit/sys/attention.h"

TEST(AcqProps, TriggerModelsAreNamedAMissingPropertyIsReportedAndNamedAndThePositiveLutIsTheIdentity) {
    EXPECT_TRUE(kfManualTrigger().name() == "manual" && kfFreeRunTrigger().name() == "free run" &&
                kfHardwareTrigger().name() == "hardware");
    kcAcqProps none;
    EXPECT_FALSE(none.hasExposureProp() || none.hasContrastBrightnessProp() || none.has8BitInputLutProp());
    EXPECT_NE(thrownMessage<kcPropertyNotSupported>([&] { none.exposureProp(); }).find(L"exposure"),
              std::wstring::npos);
    EXPECT_THROW(none.contrastBrightnessProp(), kcPropertyNotSupported);
    EXPECT_THROW(static_cast<const kcAcqProps&>(none).inputLutProp(), kcPropertyNotSupported);
    for (int i = 0; i < kc8BitInputLutProp::kLutSize; ++i) ASSERT_EQ(kc8BitInputLutProp::positive8BitLut[i], i);
    // By default a completion waits for the FIFO's own timeout and fills nothing.
    const kcAcqFifo::CompleteArgs args;
    EXPECT_TRUE(std::isinf(args.timeout) && args.timeout > 0.0 && args.acqInfo == nullptr);
}

TEST(AttentionCheck, ReportsTheInstalledHandlerAndRestoresThePreviousOne) {
    EXPECT_EQ(ksys_attention_check(), 0);
    {
        kcScopedAttentionHandler outer([] { return 7L; });
        EXPECT_THROW(kfThrowExceptionOnFailure(ksys_attention_check()), kcStatusFailure);
        {
            kcScopedAttentionHandler inner(kcAttentionHandler{});
            EXPECT_EQ(ksys_attention_check(), 0);
        }
        EXPECT_EQ(ksys_attention_check(), 7);
    }
    EXPECT_EQ(ksys_attention_check(), 0);
    kcAttentionHandler previous = ksys_set_attention_handler([] { return -3L; });
    EXPECT_EQ(ksys_attention_check(), -3);
    ksys_set_attention_handler(previous);
    EXPECT_EQ(ksys_attention_check(), 0);
}
