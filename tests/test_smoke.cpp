#include <gtest/gtest.h>

#include "convert/codec.h"

TEST(Smoke, SilenceEncodes) { EXPECT_EQ(LinearTo_u255law(0, 32768), 0x80); }
