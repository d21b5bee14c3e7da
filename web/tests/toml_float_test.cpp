// The page's reading of a model file's float literals against the native build's, a string
// stream of this C++ library, which the program's reader uses: the same literals accepted, with
// the same value, subnormal and underflowing ones included; the same ones refused.
#include <gtest/gtest.h>

#include <cstring>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "web/compat/toml_float.h"

namespace {

struct Read {
    bool ok;
    double value;
};

Read native(const std::string &text) {
    std::stringstream stream;
    stream.imbue(std::locale::classic());
    stream.write(text.data(), std::streamsize(text.size()));
    double value = 0;
    const bool ok = bool(stream >> value);
    return {ok, ok ? value : 0};
}

Read page(const std::string &text) {
    double value = 0;
    const bool ok = read_toml_float(text.data(), text.data() + text.size(), value);
    return {ok, ok ? value : 0};
}

void expect_same(const std::string &text) {
    const Read n = native(text), p = page(text);
    EXPECT_EQ(p.ok, n.ok) << text;
    EXPECT_EQ(std::memcmp(&p.value, &n.value, sizeof p.value), 0) << text;
}

TEST(TomlFloat, ReadAsTheNativeReaderReadsIt) {
    const std::vector<std::string> cases = {"0.5",
                                            "1e-310",
                                            "1e-320",
                                            "4.9406564584124654e-324",
                                            "2.4e-324",
                                            "1e-400",
                                            "0e0",
                                            "2.2250738585072011e-308",
                                            "1.7976931348623157e308",
                                            "1.7976931348623158e308",
                                            "1.7976931348623159e308",
                                            "2e308",
                                            "1e400",
                                            "123456789012345678901234567890.5",
                                            "0.000000000000000000000000000000000000001e-300",
                                            "1e+2",
                                            "1E-2",
                                            "9." + std::string(300, '9')};
    for (const std::string &text : cases)
        expect_same(text);
    EXPECT_TRUE(page("1e-320").ok);
    EXPECT_FALSE(page("1e400").ok);
}

TEST(TomlFloat, RandomLiterals) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> digits(1, 12), exponent(-340, 320);
    auto some_digits = [&] {
        std::string d;
        for (int n = digits(random); n > 0; n--)
            d += char('0' + random() % 10);
        return d;
    };
    for (int i = 0; i < 20000; i++) {
        std::string text = some_digits();
        text += '.';
        text += some_digits();
        text += 'e';
        text += std::to_string(exponent(random));
        expect_same(text);
    }
}

} // namespace
