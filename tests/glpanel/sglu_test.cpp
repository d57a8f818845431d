// The sglu helpers against the system's GL utility library: both leave
// their matrices in the same GL context, read back with glGetDoublev.
#include <GL/glu.h>

#include <cmath>
#include <functional>

#include "glpanel/sglu.h"
#include "panel_fixture.h"

using namespace dozu;

namespace {

using Matrix = std::array<double, 16>;

class SgluTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        ShowAndInit();
    }

    // The model-view matrix that `change` leaves on a start matrix that is
    // not the identity, so that the helpers must multiply.
    static Matrix After(const std::function<void()>& change) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslated(0.5, -0.25, 2.0);
        glRotated(30.0, 0.0, 1.0, 0.0);
        change();
        Matrix m{};
        glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
        return m;
    }

    static void ExpectSame(const Matrix& ours, const Matrix& glu, const char* what) {
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(ours[size_t(i)], glu[size_t(i)], 1e-5 * (1.0 + std::fabs(glu[size_t(i)])))
                << what << ", element " << i;
    }
};

}  // namespace

TEST_F(SgluTest, LookAtMatchesGluLookAt) {
    const double cases[][9] = {
        {0, 0, 5, 0, 0, 0, 0, 1, 0},  {3, -2, 7, 1, 1, -1, 0.2, 1, 0.1},
        {-4, 6, 1, 2, 0, 0, 0, 0, 1}, {1, 1, 1, 1, 1, 1, 0, 1, 0},  // eye at the centre: no direction at all
        {0, 5, 0, 0, 0, 0, 0, 1, 0},                                // up along the view: no sideways axis
    };
    for (const auto& c : cases) {
        const Matrix ours = After([&] { sgluLookAt(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]); });
        const Matrix glu = After([&] { gluLookAt(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]); });
        ExpectSame(ours, glu, "look-at");
    }
}

TEST_F(SgluTest, EyeAtTheCentreStillTranslatesByMinusEye) {
    const Matrix m = After([] {
        glLoadIdentity();
        sgluLookAt(1, 2, 3, 1, 2, 3, 0, 1, 0);
    });
    for (int i = 0; i < 12; ++i) EXPECT_EQ(m[size_t(i)], 0.0) << i;
    EXPECT_EQ(m[12], 0.0);  // a zero rotation swallows the translation
    EXPECT_EQ(m[15], 1.0);
}

TEST_F(SgluTest, PerspectiveMatchesGluPerspective) {
    const double cases[][4] = {
        {45, 4.0 / 3.0, 0.1, 100},
        {90, 1, 1, 10},
        {10, 0.5, 2, 3},
        {120, 2.5, 0.01, 1000},
        // Degenerate ones leave the matrix alone.
        {0, 1, 1, 10},
        {45, 0, 1, 10},
        {45, 1, 5, 5},
    };
    for (const auto& c : cases) {
        const Matrix ours = After([&] { sgluPerspective(c[0], c[1], c[2], c[3]); });
        const Matrix glu = After([&] { gluPerspective(c[0], c[1], c[2], c[3]); });
        ExpectSame(ours, glu, "perspective");
    }
    while (glGetError() != GL_NO_ERROR) {
    }
}

TEST_F(SgluTest, Ortho2DMatchesGluOrtho2D) {
    const Matrix ours = After([] { sgluOrtho2D(-3, 5, -1, 7); });
    const Matrix glu = After([] { gluOrtho2D(-3, 5, -1, 7); });
    ExpectSame(ours, glu, "ortho 2D");
}

TEST_F(SgluTest, PickMatrixMatchesGluPickMatrix) {
    const int viewport[4] = {10, 20, 300, 200};
    const double cases[][4] = {{50, 60, 5, 5},
                               {160, 120, 1, 3},
                               {0, 0, 300, 200},
                               // A region of no size changes nothing.
                               {50, 60, 0, 5},
                               {50, 60, 5, 0},
                               {50, 60, -2, 5}};
    for (const auto& c : cases) {
        int vp[4] = {viewport[0], viewport[1], viewport[2], viewport[3]};
        const Matrix ours = After([&] { sgluPickMatrix(c[0], c[1], c[2], c[3], vp); });
        const Matrix glu = After([&] { gluPickMatrix(c[0], c[1], c[2], c[3], vp); });
        ExpectSame(ours, glu, "pick matrix");
    }
}

TEST_F(SgluTest, UnProjectMatchesGluUnProject) {
    const int viewport[4] = {0, 0, 160, 120};
    const Matrix model = After([] { gluLookAt(2, 3, 6, 0, 0, 0, 0, 1, 0); });
    Matrix proj{};
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(50, 160.0 / 120.0, 0.5, 40);
    glGetDoublev(GL_PROJECTION_MATRIX, proj.data());
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);

    const double points[][3] = {{80, 60, 0.5}, {0, 0, 0}, {159, 119, 1}, {13.5, 97.25, 0.9}};
    for (const auto& p : points) {
        double ours[3] = {}, glu[3] = {};
        ASSERT_EQ(
            sgluUnProject(p[0], p[1], p[2], model.data(), proj.data(), viewport, &ours[0], &ours[1], &ours[2]), 1);
        ASSERT_EQ(gluUnProject(p[0], p[1], p[2], model.data(), proj.data(), viewport, &glu[0], &glu[1], &glu[2]),
                  GL_TRUE);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(ours[i], glu[i], 1e-9 * (1 + std::fabs(glu[i])));
    }
}

TEST_F(SgluTest, UnProjectOfTheCentreWithIdentitiesIsTheOrigin) {
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const int viewport[4] = {0, 0, 200, 100};
    double x = 9, y = 9, z = 9;
    EXPECT_EQ(sgluUnProject(100, 50, 0.5, identity, identity, viewport, &x, &y, &z), 1);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
    EXPECT_EQ(z, 0.0);
}

TEST_F(SgluTest, UnProjectFailsLikeGluForSingularMatricesAndPointsAtInfinity) {
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const double flat[16] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};   // y scaled by 0
    const double rank3[16] = {1, 2, 3, 0, 2, 4, 6, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // two parallel columns
    // Swaps x and w: the viewport's centre maps to w = 0.
    const double swap_xw[16] = {0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0};
    const int viewport[4] = {0, 0, 200, 100};
    struct Case {
        const double* model;
        const double* proj;
    };
    for (const Case& c : {Case{flat, identity}, Case{rank3, identity}, Case{identity, swap_xw}}) {
        double ours[3] = {7, 7, 7}, glu[3] = {7, 7, 7};
        EXPECT_EQ(sgluUnProject(100, 50, 0.5, c.model, c.proj, viewport, &ours[0], &ours[1], &ours[2]), 0);
        EXPECT_EQ(gluUnProject(100, 50, 0.5, c.model, c.proj, viewport, &glu[0], &glu[1], &glu[2]), GL_FALSE);
        EXPECT_EQ(ours[0], 7.0) << "nothing is written on failure";
    }
}
