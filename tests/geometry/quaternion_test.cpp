#include <gtest/gtest.h>

#include "geometry/quaternion.h"

using namespace dozu;

TEST(Quaternion, HamiltonProductOfUnits) {
    const quaternion i{0, 1, 0, 0}, j{0, 0, 1, 0}, k{0, 0, 0, 1}, one{1, 0, 0, 0};
    auto eq = [](const quaternion& a, const quaternion& b) {
        return a.w == b.w && a.x == b.x && a.y == b.y && a.z == b.z;
    };
    EXPECT_TRUE(eq(quaternion_product(i, j), k));
    EXPECT_TRUE(eq(quaternion_product(j, i), quaternion{0, 0, 0, -1}));
    EXPECT_TRUE(eq(quaternion_product(i, i), quaternion{-1, 0, 0, 0}));
    EXPECT_TRUE(eq(quaternion_product(one, k), k));
    const quaternion a{1, 2, 3, 4}, b{5, 6, 7, 8};
    // (1+2i+3j+4k)(5+6i+7j+8k) = -60 + 12i + 30j + 24k
    EXPECT_TRUE(eq(quaternion_product(a, b), quaternion{-60, 12, 30, 24}));
}

TEST(Quaternion, CrossProductMayAlias) {
    float a[3] = {1, 0, 0};
    const float b[3] = {0, 1, 0};
    vec3_cross(a, a, b);
    EXPECT_EQ(a[0], 0.0f);
    EXPECT_EQ(a[1], 0.0f);
    EXPECT_EQ(a[2], 1.0f);
}
