// The charts drawn into image surfaces at a window's sizes and read back pixel by pixel, with
// made-up but realistic data. With CHARTS_PICTURES=<folder> the pictures of that data are also
// copied there to be looked at.
#include <gtest/gtest.h>

#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

#include "charts/curve_chart.h"
#include "charts/image_file.h"
#include "charts/limit_map_chart.h"
#include "charts/scaling_chart.h"
#include "charts/space_chart.h"

namespace fs = std::filesystem;

namespace {

constexpr double kCores[] = {1,   2,   4,   6,   8,   10,  12,  14,  16,  20,  24, 28,
                             32,  36,  40,  44,  48,  56,  64,  72,  80,  88,  96, 104,
                             112, 120, 128, 136, 144, 152, 160, 168, 176, 184, 192};

double amdahl(double cores) {
    return 1 / (0.01 + 0.99 / cores);
}

// Speedup grows with cores and cache; area, power and bandwidth cut the space.
SpaceChart sample_space() {
    SpaceChart c;
    c.title = "Speedup over core count and L2 cache size";
    c.subtitle = "DB2/TPCC, plain memory, LOP, Niagara, 65nm, scale step 1.0 (0.800 V, 2.526 GHz)";
    c.core_counts.assign(std::begin(kCores), std::end(kCores));
    for (int j = 0; j < 67; j++)
        c.cache_sizes.push_back(j < 3 ? 1 << j : 8 * (j - 2));
    c.core_ticks = {1, 4, 8, 16, 32, 48, 64, 96, 128, 160, 192};
    c.cache_ticks = {1, 8, 64, 128, 192, 256, 320, 384, 448, 512};
    for (double cache : c.cache_sizes)
        for (double cores : c.core_counts) {
            SpaceChartCell cell;
            cell.speedup = amdahl(cores) * (1 - 0.5 / (1 + cache / 8));
            cell.area = 6 * cores + 0.4 * cache + 40;
            cell.power = 4 * cores + 0.05 * cache + 20;
            cell.bandwidth = cores * 4 / std::sqrt(cache);
            cell.breaks[0] = cell.area > 221.88;
            cell.breaks[1] = cell.power > 102;
            cell.breaks[2] = cell.bandwidth > 46.44;
            c.cells.push_back(cell);
        }
    c.limits = {SpaceChartLimit{"area", "mm^2", 221.88}, SpaceChartLimit{"power", "W", 102},
                SpaceChartLimit{"off-chip bandwidth", "GB/s", 46.44}, std::nullopt};
    size_t best = 0;
    for (size_t i = 0; i < c.cells.size(); i++)
        if (c.cells[i].feasible() && c.cells[i].speedup > c.cells[best].speedup)
            best = i;
    c.best = std::pair{int(best / 35), int(best % 35)};
    c.best_text = "best: " + std::to_string(int(kCores[best % 35])) + " cores, " +
                  std::to_string(int(c.cache_sizes[best / 35])) + " MB L2 cache, speedup " +
                  std::to_string(c.cells[best].speedup);
    c.shown = std::pair{10, 4};
    c.shown_text = "on show: 8 cores, 64 MB";
    return c;
}

// Best speedup as the power limit grows, for three workloads that need different power per core.
CurveChart sample_curves(size_t points) {
    CurveChart c{"Best speedup as the power limit grows",
                 {"LOP, Niagara, 65nm; area 221.88 mm^2, off-chip bandwidth 46.44 GB/s"},
                 "power limit (W)",
                 {}};
    const char *names[] = {"DB2/TPCC", "DB2/TPCH", "Apache/Web"};
    const double per_core[] = {1.9, 2.6, 1.3};
    for (int w = 0; w < 3; w++) {
        Curve curve{names[w], {}};
        for (size_t i = 0; i < points; i++) {
            const double power = 5 + 195.0 * double(i) / double(points - 1);
            double cores = 0;
            for (double k : kCores)
                if (k * per_core[w] + 12 <= power && k <= 96)
                    cores = k;
            curve.points.push_back({power, cores > 0, amdahl(cores) * (0.6 + 0.1 * w), cores,
                                    cores > 40 ? 4.0 : 8.0, 1.0});
        }
        c.curves.push_back(curve);
    }
    return c;
}

// Best speedup over power and area limits: the scarcer of the two binds, neither past 192 cores.
LimitMapChart sample_limit_map(size_t columns = 100, size_t rows = 111) {
    LimitMapChart c{"Best speedup over the power and area limits",
                    {"DB2/TPCC, plain memory, LOP, Niagara, 65nm"},
                    "power limit (W)",
                    "area limit (mm^2)",
                    "power",
                    "area",
                    {},
                    {},
                    {},
                    {}};
    for (size_t i = 0; i < columns; i++)
        c.xs.push_back(2 + double(i) * 396.0 / double(columns - 1));
    for (size_t j = 0; j < rows; j++)
        c.ys.push_back(40 + double(j) * 660.0 / double(rows - 1));
    for (double area : c.ys)
        for (double power : c.xs) {
            const double by_power = std::floor((power - 6) / 1.9),
                         by_area = std::floor((area - 30) / 3);
            const double cores = std::fmin(192, std::fmin(by_power, by_area));
            c.speedup.push_back(cores < 1 ? NAN : amdahl(cores));
            const bool near = std::fabs(by_power - by_area) <= 4;
            c.binding.push_back(cores >= 192 ? 0 : near ? 3 : (by_power < by_area ? 1 : 2));
        }
    return c;
}

ScalingChart sample_scaling() {
    return ScalingChart{"Best speedup over technology nodes",
                        {"LOP, Niagara; each node's own area, power and bandwidth budgets"},
                        {"90nm", "65nm", "45nm", "32nm", "20nm"},
                        {{"DB2/TPCC",
                          {true, true, true, true, true},
                          {12.1, 22.4, 38, 55.2, 71.9},
                          {8, 16, 32, 64, 96}},
                         {"DB2/TPCH",
                          {true, true, true, true, true},
                          {9.5, 17, 30.3, 41.8, 60.1},
                          {6, 12, 24, 48, 96}},
                         {"Apache/Web",
                          {false, true, true, true, true},
                          {0, 25.1, 44.8, 70.3, 102.4},
                          {0, 20, 48, 96, 192}}}};
}

struct Pixel {
    int r, g, b;
    bool operator==(const Pixel &) const = default;
};

// A chart drawn into an image surface.
class Picture {
  public:
    Picture(int width, int height, const std::function<void(cairo_t *, int, int)> &draw)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)) {
        cairo_t *cr = cairo_create(surface);
        draw(cr, width, height);
        status = cairo_status(cr);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    ~Picture() { cairo_surface_destroy(surface); }
    Picture(const Picture &) = delete;
    Picture &operator=(const Picture &) = delete;

    int width() const { return cairo_image_surface_get_width(surface); }
    int height() const { return cairo_image_surface_get_height(surface); }
    Pixel at(double x, double y) const {
        uint32_t value;
        std::memcpy(&value,
                    cairo_image_surface_get_data(surface) +
                        int(y) * cairo_image_surface_get_stride(surface) + int(x) * 4,
                    4);
        return Pixel{int(value >> 16 & 255), int(value >> 8 & 255), int(value & 255)};
    }
    // Runs of columns of the upper three quarters (above the legend) that hold a pixel of the
    // first series' blue; a marker's white rim may part a run by a column or two.
    std::vector<std::pair<int, int>> blue_columns() const {
        std::vector<std::pair<int, int>> runs;
        for (int x = 0; x < width(); x++) {
            bool blue = false;
            for (int y = 0; y < height() * 3 / 4 && !blue; y++)
                blue = is_blue(at(x, y));
            if (blue && !runs.empty() && runs.back().second >= x - 3)
                runs.back().second = x;
            else if (blue)
                runs.push_back({x, x});
        }
        return runs;
    }
    // The middle of the first series' blue in a column (-1 for none).
    double blue_row(int x) const {
        double sum = 0, count = 0;
        for (int y = 0; y < height() * 3 / 4; y++)
            if (is_blue(at(x, y)))
                sum += y, count++;
        return count > 0 ? sum / count : -1;
    }
    static bool is_blue(const Pixel &p) { return p.b - p.r > 60 && p.g < p.b; }

    cairo_status_t status;

  private:
    cairo_surface_t *surface;
};

struct Size {
    int width, height;
};
constexpr Size kSizes[] = {{900, 600}, {400, 300}};

std::string name_of(const char *chart, Size size) {
    return std::string(chart) + "-" + std::to_string(size.width) + "x" +
           std::to_string(size.height) + ".png";
}

std::string whole_file(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool grey(const Pixel &p) {
    return p.r == p.g && p.g == p.b;
}

} // namespace

TEST(SpaceChart, CellsMapBackToThemselvesAndShowTheirState) {
    const SpaceChart chart = sample_space();
    for (Size size : {kSizes[0], kSizes[1], Size{900, 860}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        const SpaceChartLayout g = space_chart_layout(size.width, size.height, chart);
        for (int j = 0; j < g.rows; j++)
            for (int k = 0; k < g.columns; k++)
                ASSERT_EQ(
                    space_chart_cell_at(size.width, size.height, chart, g.cell_x(k), g.cell_y(j)),
                    std::pair(j, k));
        const double right = g.left + g.columns * g.cell_width;
        const double bottom = g.top + g.rows * g.cell_height;
        for (auto [x, y] : {std::pair{g.left - 1, g.top + 5},
                            {right + 1, g.top + 5},
                            {g.left + 5, g.top - 1},
                            {g.left + 5, bottom + 1},
                            {NAN, g.top + 5}})
            EXPECT_EQ(space_chart_cell_at(size.width, size.height, chart, x, y), std::nullopt);

        const Picture picture(size.width, size.height, [&](cairo_t *cr, int w, int h) {
            draw_space_chart(cr, w, h, chart);
        });
        // The best cell holds the white marker; 192 cores with 512 MB break a limit; one core
        // with 1 MB meets every limit.
        EXPECT_EQ(picture.at(g.cell_x(chart.best->second), g.cell_y(chart.best->first)),
                  (Pixel{255, 255, 255}));
        EXPECT_TRUE(grey(picture.at(g.cell_x(34), g.cell_y(66))));
        EXPECT_FALSE(grey(picture.at(g.cell_x(0), g.cell_y(0))));
    }
}

// In memory the cells are one scaled image; a vector file (here a recording, replayed into
// memory) gets a rectangle per cell. Both give the same map, pixel for pixel.
TEST(SpaceChart, CellsInMemoryAreTheCellsOfAVectorFile) {
    SpaceChart chart = sample_space();
    chart.cells[5].speedup = NAN;
    for (Size size : {Size{900, 860}, Size{760, 660}, kSizes[1]}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        const Picture direct(size.width, size.height,
                             [&](cairo_t *cr, int w, int h) { draw_space_chart(cr, w, h, chart); });
        const Picture replayed(size.width, size.height, [&](cairo_t *cr, int w, int h) {
            cairo_surface_t *recording =
                cairo_recording_surface_create(CAIRO_CONTENT_COLOR, nullptr);
            cairo_t *vector = cairo_create(recording);
            draw_space_chart(vector, w, h, chart);
            cairo_destroy(vector);
            cairo_set_source_surface(cr, recording, 0, 0);
            cairo_paint(cr);
            cairo_surface_destroy(recording);
        });
        const SpaceChartLayout g = space_chart_layout(size.width, size.height, chart);
        for (int y = int(g.top) - 1; y <= int(g.top + g.rows * g.cell_height) + 1; y++)
            for (int x = int(g.left) - 1; x <= int(g.left + g.columns * g.cell_width) + 1; x++)
                ASSERT_EQ(direct.at(x, y), replayed.at(x, y)) << x << ", " << y;
    }
}

TEST(CurveChart, RunsKeepOnlyTheChangesOfTheOptimum) {
    auto at = [](double x, bool feasible, double speedup, double cores = 1) {
        return CurvePoint{x, feasible, speedup, cores, 1, 1};
    };
    struct Case {
        std::vector<CurvePoint> points;
        std::vector<std::pair<double, double>> runs; // first x, last x
    } cases[] = {
        {{}, {}},
        {{at(1, false, 0), at(2, false, 7), at(3, true, 5), at(4, true, 5), at(5, true, 6)},
         {{1, 2}, {3, 4}, {5, 5}}},
        // Same speedup, another configuration: a new run.
        {{at(1, true, 5, 8), at(2, true, 5, 8), at(3, true, 5, 16)}, {{1, 2}, {3, 3}}},
        // A point without a finite x is left out; a speedup that is not finite is infeasible.
        {{at(1, true, 5), at(NAN, true, 9), at(2, true, 5), at(3, true, NAN), at(4, false, 0)},
         {{1, 2}, {3, 4}}},
    };
    for (const Case &c : cases) {
        std::vector<std::pair<double, double>> runs;
        for (const CurveRun &run : curve_runs(c.points))
            runs.push_back({run.first.x, run.last_x});
        EXPECT_EQ(runs, c.runs);
    }
    // A million points with two levels reduce to three runs.
    std::vector<CurvePoint> many;
    for (int i = 0; i < 1000000; i++)
        many.push_back(at(i, i >= 1000, i < 500000 ? 3 : 4));
    EXPECT_EQ(curve_runs(many).size(), 3u);
}

TEST(CurveChart, StepsSitAtTheirLevelsWithGapsWhereNothingIsFeasible) {
    // Nothing below 25, speedup 10 up to 50, 20 up to 75, nothing again, 40 from 90 to 100.
    Curve curve{"one", {}};
    for (int x = 0; x <= 100; x++) {
        const bool feasible = (x >= 25 && x < 75) || x >= 90;
        curve.points.push_back({double(x), feasible,
                                x < 50   ? 10.0
                                : x < 75 ? 20.0
                                         : 40.0,
                                double(x < 50 ? 8 : 16), 1, 1});
    }
    const CurveChart chart{"Steps", {}, "limit", {curve}};
    for (Size size : kSizes) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        const Picture picture(size.width, size.height, [&](cairo_t *cr, int w, int h) {
            draw_curve_chart(cr, w, h, chart);
        });
        const auto runs = picture.blue_columns();
        ASSERT_EQ(runs.size(), 2u);
        // Columns a quarter into either level of the first stretch, and the middle of the last.
        const double quarter = (runs[0].second - runs[0].first) / 4.0;
        const double y10 = picture.blue_row(int(runs[0].first + quarter));
        const double y20 = picture.blue_row(int(runs[0].second - quarter));
        const double y40 = picture.blue_row((runs[1].first + runs[1].second) / 2);
        ASSERT_GT(y10, 0);
        // A linear axis: 10 to 20 is half as far as 20 to 40.
        EXPECT_GT(y10, y20);
        EXPECT_NEAR(y10 - y20, (y20 - y40) / 2, 1.5);
        // The second stretch starts at 90 on a 0..100 axis, the first ends at 75.
        const double per_unit = (runs[1].second - runs[0].first) / 75.0;
        EXPECT_NEAR(runs[1].first - runs[0].first, 65 * per_unit, 5);
    }
}

TEST(LimitMapChart, GreyWhereNothingMeetsTheLimitsAndHatchedWhereALimitBinds) {
    LimitMapChart chart{"Map", {}, "x", "y", "", "", {1, 2, 3}, {10, 20}, {NAN, 2, 3, 4, 5, 6}, {}};
    for (Size size : kSizes) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        const Picture plain(size.width, size.height, [&](cairo_t *cr, int w, int h) {
            draw_limit_map_chart(cr, w, h, chart);
        });
        // The map's frame, found from the middle of the picture outwards.
        auto dark = [&](int x, int y) { return grey(plain.at(x, y)) && plain.at(x, y).r < 100; };
        const int mid_x = size.width / 2, mid_y = size.height / 2;
        int left = mid_x, right = mid_x, top = mid_y, bottom = mid_y;
        while (left > 0 && !dark(left, mid_y))
            left--;
        while (right < size.width - 1 && !dark(right, mid_y))
            right++;
        while (top > 0 && !dark(mid_x, top))
            top--;
        while (bottom < size.height - 1 && !dark(mid_x, bottom))
            bottom++;
        auto centre = [&](int x, int y) {
            return std::pair{left + (right - left) * (x + 0.5) / 3,
                             bottom - (bottom - top) * (y + 0.5) / 2};
        };
        auto [x0, y0] = centre(0, 0);
        auto [x2, y1] = centre(2, 1);
        EXPECT_EQ(plain.at(x0, y0), (Pixel{217, 217, 217}));
        EXPECT_EQ(plain.at(x2, y1), (Pixel{253, 231, 37})); // the top speedup's yellow

        // With the x limit binding at the top right: hatch lines across the yellow.
        chart.binding = {0, 0, 0, 0, 0, 1};
        const Picture hatched(size.width, size.height, [&](cairo_t *cr, int w, int h) {
            draw_limit_map_chart(cr, w, h, chart);
        });
        chart.binding.clear();
        int other = 0;
        for (int d = -10; d <= 10; d++)
            other += !(hatched.at(x2 + d, y1) == Pixel{253, 231, 37});
        EXPECT_GE(other, 2);
        EXPECT_LE(other, 14);
    }
}

// A vector file (here a recording, replayed into memory) gets the cells as one scaled image and
// the hatching and the lines between regions as whole runs; a picture in memory fills every
// cell. Both give the same map: without hatching, a pixel may differ only where a cell's edge
// falls within a rounding error of the pixel's centre (a few rows or columns of pixels), and
// then it has a neighbour's colour; over cells of one colour, the hatching and the lines are the
// same pixel for pixel.
TEST(LimitMapChart, AVectorFileDrawsTheMapOfAPictureInMemory) {
    LimitMapChart cells = sample_limit_map(200, 200), lines = cells;
    cells.binding.clear();
    for (double &v : lines.speedup)
        v = std::isnan(v) ? v : 1;
    for (Size size : {Size{900, 700}, kSizes[1]})
        for (const LimitMapChart *chart : {&cells, &lines}) {
            SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) +
                         (chart == &cells ? ", cells" : ", lines"));
            const Picture direct(size.width, size.height, [&](cairo_t *cr, int w, int h) {
                draw_limit_map_chart(cr, w, h, *chart);
            });
            const Picture replayed(size.width, size.height, [&](cairo_t *cr, int w, int h) {
                cairo_surface_t *recording =
                    cairo_recording_surface_create(CAIRO_CONTENT_COLOR, nullptr);
                cairo_t *vector = cairo_create(recording);
                draw_limit_map_chart(vector, w, h, *chart);
                cairo_destroy(vector);
                cairo_set_source_surface(cr, recording, 0, 0);
                cairo_paint(cr);
                cairo_surface_destroy(recording);
            });
            int differ = 0;
            for (int y = 1; y + 1 < size.height; y++)
                for (int x = 1; x + 1 < size.width; x++) {
                    const Pixel p = replayed.at(x, y);
                    if (p == direct.at(x, y))
                        continue;
                    differ++;
                    ASSERT_TRUE(p == direct.at(x - 1, y) || p == direct.at(x + 1, y) ||
                                p == direct.at(x, y - 1) || p == direct.at(x, y + 1))
                        << x << ", " << y;
                }
            EXPECT_LT(differ, chart == &cells ? size.width * size.height / 100 : 1);
        }
}

TEST(ScalingChart, AnInfeasibleNodeIsAGap) {
    const struct {
        std::vector<bool> feasible;
        size_t stretches; // of the line across the top and bottom panels
    } cases[] = {{{true, true, true}, 1}, {{true, false, true}, 2}, {{false, false, false}, 0}};
    for (const auto &c : cases)
        for (Size size : kSizes) {
            const ScalingChart chart{"Nodes",
                                     {},
                                     {"65nm", "45nm", "32nm"},
                                     {{"one", c.feasible, {10, 20, 30}, {8, 16, 32}}}};
            const Picture picture(size.width, size.height, [&](cairo_t *cr, int w, int h) {
                draw_scaling_chart(cr, w, h, chart);
            });
            EXPECT_EQ(picture.blue_columns().size(), c.stretches);
        }
}

TEST(Charts, DrawAtEverySizeWithEmptyOrBrokenData) {
    SpaceChart odd_space = sample_space();
    odd_space.cells.resize(5); // not the axes' shape
    odd_space.best = std::pair{99, -1};
    odd_space.shown = std::pair{-3, 1000};
    SpaceChart nan_space = sample_space();
    for (SpaceChartCell &cell : nan_space.cells)
        cell.speedup = NAN;
    nan_space.cells[0].speedup = INFINITY;
    nan_space.limits.resize(9, SpaceChartLimit{"x", "y", NAN});
    LimitMapChart nan_map = sample_limit_map();
    std::fill(nan_map.speedup.begin(), nan_map.speedup.end(), NAN);
    LimitMapChart unsorted = sample_limit_map();
    std::swap(unsorted.xs[0], unsorted.xs[1]);
    LimitMapChart one_cell{"", {}, "", "", "", "", {0}, {5}, {1}, {7}};
    LimitMapChart huge{"", {}, "", "", "", "", {-1e308, 1e308}, {1}, {1, 2}, {}};
    CurveChart infeasible = sample_curves(50);
    for (Curve &curve : infeasible.curves)
        for (CurvePoint &p : curve.points)
            p.feasible = false;
    CurveChart many{"", {}, "", std::vector<Curve>(12, Curve{"a rather long series name", {}})};
    many.curves[0].points = {{INFINITY, true, 1, 1, 1, 1}, {2, true, INFINITY, 1, 1, 1}};
    many.curves[1].points = {{-1e308, true, 1e308, 1, 1, 1}, {1e308, true, 1, 1, 1, 1}};
    ScalingChart ragged{
        "", {}, {"a", "b", "c"}, {{"short", {true}, {1, 2, 3}, {}}, {"", {}, {}, {}}}};

    const std::vector<std::function<void(cairo_t *, int, int)>> draws = {
        [](cairo_t *cr, int w, int h) { draw_space_chart(cr, w, h, SpaceChart{}); },
        [&](cairo_t *cr, int w, int h) { draw_space_chart(cr, w, h, odd_space); },
        [&](cairo_t *cr, int w, int h) { draw_space_chart(cr, w, h, nan_space); },
        [](cairo_t *cr, int w, int h) { draw_curve_chart(cr, w, h, CurveChart{}); },
        [&](cairo_t *cr, int w, int h) { draw_curve_chart(cr, w, h, infeasible); },
        [&](cairo_t *cr, int w, int h) { draw_curve_chart(cr, w, h, many); },
        [](cairo_t *cr, int w, int h) { draw_limit_map_chart(cr, w, h, LimitMapChart{}); },
        [&](cairo_t *cr, int w, int h) { draw_limit_map_chart(cr, w, h, nan_map); },
        [&](cairo_t *cr, int w, int h) { draw_limit_map_chart(cr, w, h, unsorted); },
        [&](cairo_t *cr, int w, int h) { draw_limit_map_chart(cr, w, h, one_cell); },
        [&](cairo_t *cr, int w, int h) { draw_limit_map_chart(cr, w, h, huge); },
        [](cairo_t *cr, int w, int h) { draw_scaling_chart(cr, w, h, ScalingChart{}); },
        [&](cairo_t *cr, int w, int h) { draw_scaling_chart(cr, w, h, ragged); },
    };
    for (size_t i = 0; i < draws.size(); i++)
        for (Size size : {kSizes[0], kSizes[1], Size{1, 1}}) {
            const Picture picture(size.width, size.height, draws[i]);
            EXPECT_EQ(picture.status, CAIRO_STATUS_SUCCESS) << "drawing " << i;
        }
    EXPECT_EQ(space_chart_cell_at(400, 300, SpaceChart{}, 200, 150), std::nullopt);
}

TEST(ImageFile, EveryChartWritesAsPngAndSvgAndABadSizeWritesNothing) {
    const fs::path folder = fs::temp_directory_path() / ("charts_test_" + std::to_string(getpid()));
    fs::create_directories(folder);
    const SpaceChart space = sample_space();
    const CurveChart curves = sample_curves(2000);
    const LimitMapChart map = sample_limit_map();
    const ScalingChart scaling = sample_scaling();
    const std::pair<const char *, std::function<void(cairo_t *, int, int)>> charts[] = {
        {"space", [&](cairo_t *cr, int w, int h) { draw_space_chart(cr, w, h, space); }},
        {"curves", [&](cairo_t *cr, int w, int h) { draw_curve_chart(cr, w, h, curves); }},
        {"limit-map", [&](cairo_t *cr, int w, int h) { draw_limit_map_chart(cr, w, h, map); }},
        {"scaling", [&](cairo_t *cr, int w, int h) { draw_scaling_chart(cr, w, h, scaling); }},
    };
    for (const auto &[name, draw] : charts)
        for (Size size : kSizes) {
            const fs::path png = folder / name_of(name, size);
            ASSERT_EQ(write_image(png, ImageFormat::Png, size.width, size.height, draw), "");
            ASSERT_EQ(
                write_image(folder / "chart.svg", ImageFormat::Svg, size.width, size.height, draw),
                "");
            cairo_surface_t *image = cairo_image_surface_create_from_png(png.c_str());
            EXPECT_EQ(cairo_image_surface_get_width(image), size.width);
            EXPECT_EQ(cairo_image_surface_get_height(image), size.height);
            cairo_surface_destroy(image);
            if (const char *pictures = std::getenv("CHARTS_PICTURES"))
                fs::copy_file(png, fs::path(pictures) / png.filename(),
                              fs::copy_options::overwrite_existing);
        }
    const size_t written = size_t(std::distance(fs::directory_iterator(folder), {}));
    EXPECT_NE(write_image(folder / "empty.png", ImageFormat::Png, 0, 300, charts[0].second), "");
    EXPECT_EQ(size_t(std::distance(fs::directory_iterator(folder), {})), written);
    fs::remove_all(folder);
}

// An SVG's text is XML-escaped text (a control character, which XML refuses, becomes U+FFFD);
// a map of two limits stays small however many cells it has: 200 x 200 as they are, more as an
// image of at most 1000 x 1000 samples.
TEST(ImageFile, SvgTextIsEscapedTextAndMapsStaySmall) {
    const fs::path svg =
        fs::temp_directory_path() / ("charts_test_" + std::to_string(getpid()) + ".svg");
    LimitMapChart odd = sample_limit_map(3, 2);
    odd.title = "A & B <C> \"q\" 'a'\x01";
    ASSERT_EQ(write_image(svg, ImageFormat::Svg, 900, 700,
                          [&](cairo_t *cr, int w, int h) { draw_limit_map_chart(cr, w, h, odd); }),
              "");
    EXPECT_NE(whole_file(svg).find(" font-weight=\"bold\">A &amp; B &lt;C&gt; &quot;q&quot; "
                                   "&apos;a&apos;\xEF\xBF\xBD</text>"),
              std::string::npos);
    for (const auto &[cells, image] : {std::pair{200, "width=\"200\" height=\"200\""},
                                       std::pair{1500, "width=\"1000\" height=\"1000\""}}) {
        const LimitMapChart map = sample_limit_map(size_t(cells), size_t(cells));
        ASSERT_EQ(
            write_image(svg, ImageFormat::Svg, 900, 700,
                        [&](cairo_t *cr, int w, int h) { draw_limit_map_chart(cr, w, h, map); }),
            "");
        EXPECT_LE(fs::file_size(svg), 1000000u) << cells;
        // One image of the cells, scaled without smoothing.
        const std::string text = whole_file(svg);
        const size_t at = text.find("<image image-rendering=\"optimizeSpeed\" "
                                    "style=\"image-rendering:pixelated\" ");
        ASSERT_NE(at, std::string::npos) << cells;
        EXPECT_NE(text.substr(at, 200).find(image), std::string::npos) << cells;
        EXPECT_EQ(text.find("<image ", at + 1), std::string::npos) << cells;
    }
    fs::remove(svg);
}
