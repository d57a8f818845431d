#include <gtest/gtest.h>

#include <vector>

#include "geometry/random.h"
#include "turtle/extrusion.h"

using namespace dozu;

class Extrusion : public ::testing::Test {
protected:
    void SetUp() override { set_random_state(0); }
    void TearDown() override { set_random_state(0); }
};

TEST_F(Extrusion, EmptyMeshDrawsNothing) {
    extrude(extrusion_parameters{}, nullptr, 0);
    EXPECT_EQ(random_state(), 0u);
}

TEST_F(Extrusion, FirstVerticesWithDefaults) {
    std::vector<float> r = {1, 1, 0, 1, 0.2617994f, 0.2617994f, 0.7853982f, 1, 0, 0, 1, 1,
                            0, 0, 0, 1, 0,          0,          1,          1, 0, 0, 0, 1};
    extrude(extrusion_parameters{}, r.data(), 3);
    EXPECT_NEAR(r[4], -0.1132005f, 1e-6);
    EXPECT_NEAR(r[5], -0.1132005f, 1e-6);
    EXPECT_FLOAT_EQ(r[6], 0.7853982f);
    EXPECT_EQ(r[0], 1.0f);  // the normal stays
    EXPECT_EQ(r[3], 1.0f);
    EXPECT_NEAR(r[14], -0.17657304f, 1e-6);
    EXPECT_NEAR(r[22], 0.26375473f, 1e-6);
    EXPECT_EQ(random_state(), 391234231u);
}

TEST_F(Extrusion, ParametersAndWeights) {
    extrusion_parameters p;
    set_extrusion_parameter(p, 1, 0.0f);
    std::vector<float> r = {0, 0, 2, 2, 2, 4, 6, 2};
    extrude(p, r.data(), 1);
    EXPECT_EQ(r[6], 6.0f);  // scale 0: no move, but one number drawn
    EXPECT_EQ(random_state(), 1u);

    set_extrusion_parameter(p, 0, 1.0f);
    set_extrusion_parameter(p, 1, 1.0f);
    EXPECT_EQ(p.offset, 1.0f);
    for (int i = 0; i < 1000; ++i) {
        std::vector<float> s = {0, 0, 2, 2, 2, 4, 6, 2};
        extrude(p, s.data(), 1);
        const float k = (s[6] - 6.0f) / 2.0f;  // after dividing by w: z = 3 + k
        ASSERT_GE(k, 0.0f);
        ASSERT_LT(k, 2.0f);
        EXPECT_EQ(s[4], 2.0f);
        EXPECT_EQ(s[7], 2.0f);
    }
}
