#include <gtest/gtest.h>

#include <cmath>

#include "geometry/random.h"
#include "geometry/vectors.h"

using namespace dozu;

class RandomTest : public ::testing::Test {
protected:
    void SetUp() override { set_random_state(0); }
    void TearDown() override { set_random_state(0); }
};

TEST_F(RandomTest, SequenceFromStartState) {
    const uint32_t expected[] = {1u, 1664526u, 391234231u, 3332033868u, 3491017949u};
    for (uint32_t e : expected) EXPECT_EQ(random_uint32(), e);
}

TEST_F(RandomTest, SymmetricValuesFromStartState) {
    const float expected[] = {-0.99999976f, -0.60314608f, 0.27750945f, -0.58121967f, -0.67646098f};
    EXPECT_EQ(random_symmetric(), -1.0f + std::ldexp(1.0f, -22));
    for (int i = 1; i < 5; ++i) EXPECT_NEAR(random_symmetric(), expected[i], 1e-7);
}

TEST_F(RandomTest, SymmetricRange) {
    // A state whose successor has the low 23 bits zero gives exactly -1; all
    // ones gives the top value. The multiplier's inverse mod 2^32 finds them.
    uint32_t s = 0;
    uint32_t inv = 1664525u;
    for (int i = 0; i < 5; ++i) inv *= 2u - 1664525u * inv;
    ASSERT_EQ(1664525u * inv, 1u);
    s = (0x00800000u - 1u) * inv;
    set_random_state(s);
    EXPECT_EQ(random_symmetric(), -1.0f);
    s = (0x007FFFFFu - 1u) * inv;
    set_random_state(s);
    EXPECT_EQ(random_symmetric(), 1.0f - std::ldexp(1.0f, -22));
    set_random_state(12345);
    for (int i = 0; i < 100000; ++i) {
        const float r = random_symmetric();
        ASSERT_GE(r, -1.0f);
        ASSERT_LT(r, 1.0f);
    }
}

TEST(Vectors, InPlaceOperations) {
    float v[3] = {1.5f, -2.0f, 3.0f};
    float w[3] = {0, 0, 0};
    vec3_copy(w, v);
    EXPECT_EQ(w[0], 1.5f);
    EXPECT_EQ(w[2], 3.0f);
    vec3_add(v, v);
    EXPECT_EQ(v[0], 3.0f);
    EXPECT_EQ(v[1], -4.0f);
    EXPECT_EQ(v[2], 6.0f);
    vec3_scale(v, 0.0f);
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_EQ(v[1], 0.0f);
    EXPECT_EQ(v[2], 0.0f);
    // Works on any three floats, such as the fields of an 8-float record.
    float record[8] = {1, 2, 3, 1, 10, 20, 30, 1};
    vec3_add(record + 4, record);
    EXPECT_EQ(record[4], 11.0f);
    EXPECT_EQ(record[6], 33.0f);
    EXPECT_EQ(record[3], 1.0f);
    EXPECT_EQ(record[7], 1.0f);
}
