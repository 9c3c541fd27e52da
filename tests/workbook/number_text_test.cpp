#include "workbook/number_text.h"

#include <cmath>
#include <cstring>
#include <random>
#include <limits>

#include <gtest/gtest.h>

namespace gridport {
namespace {

// Sets the process-wide separator for one test and restores it afterwards.
class SeparatorScope {
 public:
  explicit SeparatorScope(char16_t separator) : saved_(DecimalSeparator()) { SetDecimalSeparator(separator); }
  ~SeparatorScope() { SetDecimalSeparator(saved_); }

 private:
  char16_t saved_;
};

std::u16string WithSeparator(const char* text, char16_t separator) {
  std::u16string out;
  for (const char* p = text; *p; ++p) out.push_back(*p == ',' ? separator : static_cast<char16_t>(*p));
  return out;
}

struct TCase {
  double value;
  const char* text;  // with ',' as separator
};

// Expected texts come from an independent Decimal model of the two
// roundings (18 digits ties-to-even, then 15 half-up).
const TCase kCases[] = {
    {0.1, "0,1"},
    {1234.5, "1234,5"},
    {123456789012345.0, "123456789012345"},
    {1e15, "1E15"},
    {0.0001, "0,0001"},
    {0.00001, "1E-5"},
    {1.0 / 3.0, "0,333333333333333"},
    {-2.5, "-2,5"},
    {2.5e-10, "2,5E-10"},
    {5.0, "5"},
    {100.0, "100"},
    {1e14, "100000000000000"},
    {0.001, "0,001"},
    {-0.000123, "-0,000123"},
    {45000.0, "45000"},
    {0.12, "0,12"},
    // Integer parts around eight digits, where the digits are written in two halves.
    {12345678.0, "12345678"},
    {100000000.0, "100000000"},
    {-123456789.0, "-123456789"},
    {99999999.5, "99999999,5"},
    {1234567890.12345, "1234567890,12345"},
    {100000000000001.0, "100000000000001"},
    // Rounding carries into a new decade.
    {999999999999999.9, "1E15"},
    {9.999999999999999e22, "1E23"},
    {123456789012345678.0, "1,23456789012346E17"},
    {1e-300, "1E-300"},
    {5e-324, "4,94065645841247E-324"},
    {1.7976931348623157e308, "1,79769313486232E308"},
    // Exact digits 16-18 are 499 followed by 5 or more: 18 digits give
    // ...500, so the 15th digit goes up (a single rounding would not).
    {0.1000000000000075, "0,100000000000008"},
    {1.000000000000145, "1,00000000000015"},
    {123456.0000000195, "123456,00000002"},
    {2.500000000004195e-10, "2,5000000000042E-10"},
    {7.000000000001565e+20, "7,00000000000157E20"},
    {0.0003300000000002305, "0,000330000000000231"},
    // 499 followed by less than 5: stays.
    {1.000000000000425, "1,00000000000042"},
    {0.0003300000000000895, "0,000330000000000089"},
};

TEST(NumberText, TableWithCommaAndPointSeparators) {
  for (char16_t separator : {u',', u'.'}) {
    SeparatorScope scope(separator);
    for (const TCase& c : kCases)
      EXPECT_EQ(NumberText(c.value), WithSeparator(c.text, separator)) << c.text << " value " << c.value;
  }
}

// Both shortcuts (exact scaling to an integer, then the shortest round-trip
// text) must agree with the exact two-step rounding everywhere.
TEST(NumberText, ShortcutAgreesWithTheExactPath) {
  std::mt19937_64 random(20261210);
  char16_t fast[kNumberTextCapacity];
  char16_t exact[kNumberTextCapacity];
  auto check = [&](double v) {
    const std::size_t n = FormatNumberText(v, fast);
    ASSERT_EQ(std::u16string_view(fast, n), std::u16string_view(exact, FormatNumberTextExact(v, exact)))
        << "value " << v;
  };
  for (int i = 0; i < 200000; ++i) {
    const std::uint64_t bits = random();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v)) check(v);
    // Short decimals, the usual content of a sheet: k / 10^d.
    check(static_cast<double>(static_cast<std::int64_t>(random() % 2000000000000000) - 1000000000000000) /
          std::pow(10.0, static_cast<int>(random() % 30)));
    // Sums and quotients as sheets compute them: near, but not on, short decimals.
    check(static_cast<double>(i) * 0.25 + 0.1);
    check(static_cast<double>(i % 1000) * 0.001);
    check(static_cast<double>(i) / 7);
  }
  // The edges of the first shortcut's range.
  for (double v : {0.0001, 0.00012, 0.000099999999999999991, 999999999999999.0, 1e15, 123456.789012345,
                   -0.000123456789012345, 0.30000000000000004})
    check(v);
  for (const TCase& c : kCases) check(c.value);
}

// The 8-bit form writes the same characters with the separator it is given.
TEST(NumberText, AsciiTextEqualsTheWideText) {
  std::mt19937_64 random(7);
  for (char separator : {',', '.'}) {
    SeparatorScope scope(static_cast<char16_t>(separator));
    auto check = [&](double v) {
      char ascii[kNumberTextCapacity];
      const std::size_t n = FormatNumberTextAscii(v, separator, ascii);
      const std::u16string wide = NumberText(v);
      ASSERT_EQ(std::u16string(ascii, ascii + n), wide) << "value " << v;
    };
    for (const TCase& c : kCases) check(c.value);
    for (int i = 0; i < 20000; ++i) {
      const std::uint64_t bits = random();
      double v;
      std::memcpy(&v, &bits, sizeof v);
      check(v);
      check(static_cast<double>(i) * 0.125 - 3);
    }
  }
}

TEST(NumberText, SpecialValues) {
  EXPECT_EQ(NumberText(0.0), u"0");
  EXPECT_EQ(NumberText(-0.0), u"0");
  EXPECT_EQ(NumberText(std::numeric_limits<double>::infinity()), u"INF");
  EXPECT_EQ(NumberText(-std::numeric_limits<double>::infinity()), u"-INF");
  EXPECT_EQ(NumberText(std::nan("")), u"NAN");
}

TEST(NumberText, LongestTextFitsTheBuffer) {
  SeparatorScope scope(u',');
  char16_t buffer[kNumberTextCapacity + 1];
  buffer[kNumberTextCapacity] = u'#';
  for (double v : {-1.2345678901234567e-308, -0.00012345678901234567, -1234567890123456.7, -2.2250738585072014e-308})
    EXPECT_LE(FormatNumberText(v, buffer), kNumberTextCapacity);
  EXPECT_EQ(buffer[kNumberTextCapacity], u'#');
}

TEST(NumberText, SeparatorFromLocale) {
  EXPECT_EQ(DecimalSeparatorOfLocale("C"), u'.');
  EXPECT_EQ(DecimalSeparatorOfLocale("no_SUCH.locale"), u'.');
  char16_t russian = DecimalSeparatorOfLocale("ru_RU.UTF-8");
  if (russian == u'.') GTEST_SKIP() << "ru_RU.UTF-8 is not installed here";
  EXPECT_EQ(russian, u',');
}

}  // namespace
}  // namespace gridport
