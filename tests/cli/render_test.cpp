// dozu-cli's pictures: the real tool drawing without an X server, its PNG
// files decoded with libpng and checked pixel by pixel.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_dir.h"

using namespace dozu::testing;

namespace {

struct Result {
    int status;
    std::string err;
};

// Runs dozu-cli in dir with the given arguments (shell words), without a
// display; env is put before it (VAR=value words).
Result cli(const TempDir& dir, const std::string& args, const std::string& env = "") {
    const std::string cmd = "cd '" + dir.path().string() + "' && env -u DISPLAY " + env + " '" DOZU_CLI "' " +
                            args + " >/dev/null 2>'" + (dir / "stderr") + "'";
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_text(dir / "stderr")};
}

size_t line_count(const std::string& text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
    bool white(int x, int y) const { return at(x, y)[0] == 255 && at(x, y)[1] == 255 && at(x, y)[2] == 255; }
    bool black(int x, int y) const { return at(x, y)[0] == 0 && at(x, y)[1] == 0 && at(x, y)[2] == 0; }
};

Picture decode(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    Picture p;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << path << ": " << image.message;
        return p;
    }
    image.format = PNG_FORMAT_RGB;
    p.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr)) {
        ADD_FAILURE() << path << ": " << image.message;
        png_image_free(&image);
        return {};
    }
    p.width = int(image.width);
    p.height = int(image.height);
    return p;
}

bool all_white(const Picture& p) {
    return !p.rgb.empty() && std::all_of(p.rgb.begin(), p.rgb.end(), [](uint8_t v) { return v == 255; });
}

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::array<double, 3>> obj_vertices(const std::string& path) {
    std::vector<std::array<double, 3>> v;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::array<double, 3> p;
        if (std::sscanf(line.c_str(), "v %lf %lf %lf", &p[0], &p[1], &p[2]) == 3) v.push_back(p);
    }
    return v;
}

// Where the editor's view shows a model point: the model turned by the
// camera's reset orientation (+z up the screen, +y into it), its bounds
// centre c placed 5 units before the eye, a 55 degree perspective; pixels
// from the top left.
std::array<double, 2> project(const std::array<double, 3>& v, const std::array<double, 3>& c, int w, int h) {
    const double ex = v[0] - c[0], ey = v[2] - c[2], ez = -(v[1] - c[1]) - 5.0;
    const double f = 1.0 / std::tan(27.5 * M_PI / 180.0), aspect = double(w) / double(h);
    const double nx = f / aspect * ex / -ez, ny = f * ey / -ez;
    return {w * (nx + 1) / 2, h * (1 - ny) / 2};
}

bool black_near(const Picture& p, double x, double y) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int px = int(std::floor(x)) + dx, py = int(std::floor(y)) + dy;
            if (px >= 0 && py >= 0 && px < p.width && py < p.height && p.black(px, py)) return true;
        }
    return false;
}

// Three cells, the third turned by 90 degrees toward +x: the turtle stands
// at z = s, 2s and 3s, then at (s, 0, 3s), so its bounds centre is
// (s/2, 0, 2s).
const char* const kElbow = "*\nS4\nR2\n=\nB\n^\nYC\n^\nT\n";
const double kStep = 4 * 3.14159274 / 24;

}  // namespace

TEST(Render, WireframeShowsTheModelWhereTheEditorsViewDoes) {
    TempDir dir;
    write_text(dir / "elbow.txt", kElbow);
    const std::array<double, 3> centre{kStep / 2, 0, 2 * kStep};
    for (const auto& [size, w, h] : {std::tuple{"", 746, 288}, std::tuple{"--size 200x400", 200, 400}}) {
        SCOPED_TRACE(size);
        const Result r = cli(dir, "run --text elbow.txt --obj e.obj --png e.png " + std::string(size));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const Picture p = decode(dir / "e.png");
        ASSERT_EQ(p.width, w);
        ASSERT_EQ(p.height, h);

        int black = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                ASSERT_TRUE(p.white(x, y) || p.black(x, y)) << x << "," << y;
                black += p.black(x, y);
            }
        EXPECT_GT(black, 100);
        // Every corner of every cell is on a drawn line, and nothing is
        // drawn outside the box of the projected corners.
        const auto vertices = obj_vertices(dir / "e.obj");
        ASSERT_EQ(vertices.size(), 16u);
        double left = w, right = 0, top = h, bottom = 0;
        for (const auto& v : vertices) {
            const auto [x, y] = project(v, centre, w, h);
            EXPECT_TRUE(black_near(p, x, y)) << "vertex at pixel " << x << "," << y;
            left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
            bottom = std::max(bottom, y);
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (p.black(x, y)) {
                    ASSERT_TRUE(x >= left - 2 && x <= right + 2 && y >= top - 2 && y <= bottom + 2)
                        << x << "," << y;
                }
            }
    }
}

TEST(Render, SolidIsLitAndFilled) {
    TempDir dir;
    write_text(dir / "elbow.txt", kElbow);
    ASSERT_EQ(cli(dir, "run --text elbow.txt --png wire.png").status, 0);
    const Result r = cli(dir, "run --text elbow.txt --png solid.png --solid");
    ASSERT_EQ(r.status, 0) << r.err;
    const Picture wire = decode(dir / "wire.png"), solid = decode(dir / "solid.png");
    ASSERT_EQ(solid.width, 746);
    ASSERT_EQ(solid.height, 288);
    int wire_ink = 0, ink = 0, bluish = 0, shaded = 0;
    for (int y = 0; y < solid.height; ++y)
        for (int x = 0; x < solid.width; ++x) {
            wire_ink += !wire.white(x, y);
            if (solid.white(x, y)) continue;
            ++ink;
            const uint8_t* c = solid.at(x, y);
            bluish += c[2] > c[0] && c[2] > c[1] && c[0] == c[1];
            shaded += c[0] > 40 && c[0] < 215;
        }
    // Faces filled instead of outlined, in the light blue of the material
    // under the headlight, with shades between dark and light.
    EXPECT_GT(ink, 5 * wire_ink);
    EXPECT_GT(bluish, ink * 9 / 10);
    EXPECT_GT(shaded, 0);
    EXPECT_TRUE(solid.white(0, 0) && solid.white(745, 287));

    // The same picture down a pipe.
    const std::string piped = "cd '" + dir.path().string() +
                              "' && env -u DISPLAY '" DOZU_CLI
                              "' run --text elbow.txt --png - --solid | cat > piped.png";
    ASSERT_EQ(std::system(piped.c_str()), 0);
    EXPECT_EQ(read_bytes(dir / "piped.png"), read_bytes(dir / "solid.png"));
}

TEST(Render, NothingToDrawGivesAWhitePicture) {
    TempDir dir;
    write_text(dir / "empty.txt", "");
    Result r = cli(dir, "run --text empty.txt --png empty.png --size 64x48");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(line_count(r.err), 2u);  // the two start hints
    Picture p = decode(dir / "empty.png");
    EXPECT_EQ(p.width, 64);
    EXPECT_EQ(p.height, 48);
    EXPECT_TRUE(all_white(p));

    // A fatal error leaves the preview empty; the picture shows that.
    write_text(dir / "fatal.txt", "=\n");
    r = cli(dir, "run --text fatal.txt --png fatal.png --solid");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(all_white(decode(dir / "fatal.png")));

    // One that the cap on quads stopped draws none, and leaves the old one.
    write_text(dir / "elbow.txt", kElbow);
    write_text(dir / "capped.png", "old");
    r = cli(dir, "run --text elbow.txt --png capped.png --max-quads 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("fatal error: mesh too large: more than 1 quads"), std::string::npos) << r.err;
    EXPECT_EQ(read_text(dir / "capped.png"), "old");
}

TEST(Render, SizeLimitsAndUsageErrors) {
    TempDir dir;
    write_text(dir / "elbow.txt", kElbow);
    for (const auto& [size, w, h] :
         {std::tuple{"1x1", 1, 1}, std::tuple{"4096x2", 4096, 2}, std::tuple{"2x4096", 2, 4096}}) {
        SCOPED_TRACE(size);
        ASSERT_EQ(cli(dir, std::string("run --text elbow.txt --png s.png --size ") + size).status, 0);
        const Picture p = decode(dir / "s.png");
        EXPECT_EQ(p.width, w);
        EXPECT_EQ(p.height, h);
    }
    for (const std::string args :
         {"--png p.png --size 0x10", "--png p.png --size 10x0", "--png p.png --size 4097x10",
          "--png p.png --size 10x4097", "--png p.png --size 10", "--png p.png --size x10",
          "--png p.png --size 10x", "--png p.png --size -5x10", "--png p.png --size 10x10x10",
          "--png p.png --size ' 10x10'", "--png p.png --size 1e3x10", "--png p.png --size ''",
          "--png p.png --size", "--png", "--size 10x10", "--solid"}) {
        SCOPED_TRACE(args);
        const Result r = cli(dir, "run --text elbow.txt " + args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(line_count(r.err), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("dozu-cli: ", 0), 0u) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "p.png"));

    const std::string help = "cd '" + dir.path().string() + "' && '" DOZU_CLI "' run --help > help.txt";
    ASSERT_EQ(std::system(help.c_str()), 0);
    for (const char* word : {"--png", "--size WxH", "--solid", "746x288", "4096"})
        EXPECT_NE(read_text(dir / "help.txt").find(word), std::string::npos) << word;
}

TEST(Render, FailuresLeaveTheOldFile) {
    TempDir dir;
    write_text(dir / "elbow.txt", kElbow);
    write_text(dir / "keep.png", "old");
    // Without Mesa's EGL there is no context: one line, nothing written.
    Result r = cli(dir, "run --text elbow.txt --png keep.png", "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(line_count(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("EGL"), std::string::npos) << r.err;
    EXPECT_EQ(read_text(dir / "keep.png"), "old");

    std::filesystem::create_directory(dir / "dir.png");
    r = cli(dir, "run --text elbow.txt --png dir.png");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(line_count(r.err), 1u) << r.err;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "dir.png"));
    EXPECT_EQ(cli(dir, "run --text elbow.txt --png missing/p.png").status, 2);

    // A good run replaces the file.
    ASSERT_EQ(cli(dir, "run --text elbow.txt --png keep.png --size 8x8").status, 0);
    EXPECT_EQ(decode(dir / "keep.png").width, 8);
}

TEST(Render, GalleryScriptDrawsEveryExampleAndPrintsTheReadmeTable) {
    TempDir dir;
    const std::string cmd = "DOZU_CLI='" DOZU_CLI "' DOZU_GALLERY='" + (dir / "gallery") +
                            "' env -u DISPLAY '" DOZU_EXAMPLES "/render-gallery' > '" + (dir / "table.md") +
                            "' 2>'" + (dir / "stderr") + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << read_text(dir / "stderr");
    EXPECT_EQ(read_text(dir / "stderr"), "");
    const std::string readme = read_text(DOZU_EXAMPLES "/../README.md");
    std::istringstream table(read_text(dir / "table.md"));
    size_t rows = 0;
    for (std::string line; std::getline(table, line);) {
        EXPECT_NE(readme.find(line + "\n"), std::string::npos) << "README lacks the row " << line;
        if (line.rfind("| `", 0) != 0) continue;
        const std::string name = line.substr(3, line.find('`', 3) - 3);
        ++rows;
        for (const std::string& picture : {name + ".png", name + "-solid.png"}) {
            const Picture p = decode(dir / "gallery/" + picture);
            EXPECT_EQ(p.width, 746) << picture;
            EXPECT_EQ(p.height, 288) << picture;
            EXPECT_FALSE(all_white(p)) << picture;
        }
    }
    EXPECT_EQ(rows, size_t(std::distance(std::filesystem::directory_iterator(dir / "gallery"), {})) / 2);
    EXPECT_GE(rows, 14u);
}
