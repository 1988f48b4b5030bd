#include "executor/platform/param.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TEST(GalvoParamTest, SetResolutionDerivesCentreAndScale) {
    struct Case {
        double fieldSize;
        int32_t resolution;
        int32_t center;
        double scale;
    };
    const Case cases[] = {
        {100.0, 65535, 32768, 655.35},
        {100.0, 65536, 32768, 655.36},
        {200.0, 1048575, 524288, 5242.875},
        {160.0, 1, 1, 0.00625},
        {50.0, std::numeric_limits<int32_t>::max(), 1073741824, 2147483647.0 / 50.0},
    };
    for (const Case& c : cases) {
        GalvoParam galvo;
        galvo.fieldSize = c.fieldSize;
        galvo.setResolution(c.resolution);
        EXPECT_EQ(galvo.resolution, c.resolution);
        EXPECT_EQ(galvo.center, c.center) << c.resolution;
        EXPECT_DOUBLE_EQ(galvo.scale, c.scale) << c.resolution;
    }
}

TEST(GalvoParamTest, NonPositiveFieldSizeKeepsScale) {
    for (double fieldSize : {0.0, -10.0}) {
        GalvoParam galvo;
        galvo.fieldSize = fieldSize;
        galvo.scale = 12.5;
        galvo.setResolution(1000);
        EXPECT_EQ(galvo.resolution, 1000);
        EXPECT_EQ(galvo.center, 500);
        EXPECT_EQ(galvo.scale, 12.5);
    }
}

}  // namespace
