// clbl/measurement.cpp
#include "clbl/measurement.h"

#include "clbl/internal/color_measurement.h"

std::int32_t kfCountGoodPels(const kc3PlanePelBuffer& image, std::int32_t darkLevel) {
    return countGoodPels(image, kc3PlanePelBuffer(), darkLevel);
}
