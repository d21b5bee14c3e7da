// The page's shortest number text against the C++ library's std::to_chars, which the
// command-line tool's CSV uses: the same text for the model's own figures' kinds of values,
// powers of two and their neighbours (where the spacing of doubles changes), and random doubles.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "web/compat/shortest_chars.h"

namespace {

std::string library(double value) {
    char text[64];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end);
}

std::string page(double value) {
    char text[64];
    char *end = shortest_chars(text, text + sizeof text, value);
    return end ? std::string(text, end) : "(too long)";
}

TEST(ShortestChars, SameTextAsTheLibrary) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1.0,
                                  0.1,
                                  0.3,
                                  46.44288,
                                  221.88,
                                  0.0001,
                                  1e-5,
                                  1e21,
                                  1e22,
                                  123456789012345680000.0,
                                  5e-324,
                                  1.7976931348623157e308,
                                  0.30000000000000004,
                                  2.526,
                                  100.0,
                                  1e15,
                                  1e16,
                                  1e17,
                                  123456.0,
                                  0.5599999999999999};
    for (int k = -1074; k <= 1023; k++) {
        const double p = std::ldexp(1.0, k);
        values.insert(values.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, INFINITY)});
    }
    std::mt19937_64 random(19);
    std::uniform_real_distribution<double> unit(0, 1000);
    for (int i = 0; i < 60000; i++) {
        uint64_t bits = random();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        if (std::isfinite(any))
            values.push_back(any);
        values.push_back(unit(random));
        values.push_back(std::round(unit(random) * 100) / 100); // typed limits
    }
    int mismatches = 0;
    for (double v : values) {
        if (page(v) != library(v) && ++mismatches <= 20)
            ADD_FAILURE() << library(v) << " written as " << page(v);
        if (page(-v) != library(-v) && ++mismatches <= 20)
            ADD_FAILURE() << library(-v) << " written as " << page(-v);
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace
