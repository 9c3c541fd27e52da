#include "app/plain_number.h"

#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "workbook/number_text.h"

namespace gridport {
namespace {

// The fast path either declines (0) or writes exactly what FormatNumberText
// writes, under both decimal separators.
void ExpectSameAsGeneral(double value, bool must_take) {
  for (const char separator : {',', '.'}) {
    SetDecimalSeparator(static_cast<char16_t>(separator));
    char text[kPlainNumberCapacity];
    const size_t length = FormatPlainNumber(value, separator, text);
    if (must_take) {
      ASSERT_NE(length, 0u) << value;
    }
    if (length == 0) continue;
    const std::u16string general = NumberText(value);
    ASSERT_EQ(std::u16string(text, text + length), general) << value;
  }
}

struct PlainNumberTest : ::testing::Test {
  void TearDown() override { SetDecimalSeparator(saved); }
  char16_t saved = DecimalSeparator();
};

TEST_F(PlainNumberTest, TableOfValues) {
  const struct {
    double value;
    bool taken;
  } cases[] = {
      {1, true},          {-2.5, true},         {1234.5, true},       {0.1, true},
      {0.0001, true},     {0.00012, true},      {149.5, true},        {45000, true},
      {999999999999999, true},                  {123456789012345, true},
      {0.1 + 0.2, false}, {1.0 / 3, false},     {1e15, false},        {0.00001, false},
      {0, false},         {-0.0, false},        {2.5e-10, false},     {NAN, false},
      {INFINITY, false},  {1e300, false},       {0.30000000000000004, false},
      {123456.789012345, true},                 {-0.000123456789012345, false},
  };
  for (const auto& c : cases) ExpectSameAsGeneral(c.value, c.taken);
  SetDecimalSeparator(u',');
  char text[kPlainNumberCapacity];
  EXPECT_EQ(std::string(text, FormatPlainNumber(-1234.05, ',', text)), "-1234,05");
  EXPECT_EQ(std::string(text, FormatPlainNumber(0.0001, ',', text)), "0,0001");
  EXPECT_EQ(std::string(text, FormatPlainNumber(100, ',', text)), "100");
}

TEST_F(PlainNumberTest, AgreesWithTheGeneralFormatOnManyValues) {
  std::mt19937_64 random(20261210);
  std::uniform_int_distribution<int64_t> digits(-999999999999999, 999999999999999);
  std::uniform_int_distribution<int> places(0, 19);
  std::uniform_real_distribution<double> uniform(-1e6, 1e6);
  for (int i = 0; i < 200000; ++i) {
    // Decimals of up to 15 digits, sums and quotients that are not, and raw doubles.
    ExpectSameAsGeneral(static_cast<double>(digits(random)) / std::pow(10.0, places(random)), false);
    ExpectSameAsGeneral(uniform(random), false);
    ExpectSameAsGeneral(static_cast<double>(i) * 0.25 + 0.1, false);
    ExpectSameAsGeneral(static_cast<double>(i % 1000) * 0.001, false);
    ExpectSameAsGeneral(static_cast<double>(i) / 7, false);
  }
}

}  // namespace
}  // namespace gridport
