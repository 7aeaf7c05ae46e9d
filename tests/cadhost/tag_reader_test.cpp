// The tag scanner's edge cases: binary one-byte codes with the 255 escape, numbers written in
// odd but valid ways, and the mapped pool the drawing keeps its entities in.
#include "cadhost/dxf/tag_reader.h"
#include "cadhost/model/mapped_vector.h"

#include <gtest/gtest.h>

#include <string>

namespace vexilo::cadhost::dxf {
namespace {

TEST(TagReader, BinaryOneByteCodesWithTheTwoByteEscape) {
    std::string b("AutoCAD Binary DXF\r\n\x1a\0", 22);
    b += std::string("\0SECTION\0", 9);
    b += std::string("\xFF\xE9\x03xdata\0", 9); // escape, code 1001
    b += std::string("\x46\x05\x00", 3);        // code 70, int16 5
    TagReader r(b);
    ASSERT_TRUE(r.isBinary());
    Tag t;
    ASSERT_TRUE(r.next(t));
    EXPECT_EQ(t.code, 0);
    EXPECT_EQ(t.text, "SECTION");
    ASSERT_TRUE(r.next(t));
    EXPECT_EQ(t.code, 1001);
    EXPECT_EQ(t.text, "xdata");
    EXPECT_EQ(t.location, 31u);
    ASSERT_TRUE(r.next(t));
    EXPECT_EQ(t.code, 70);
    std::int64_t v = 0;
    ASSERT_TRUE(t.toInt(v));
    EXPECT_EQ(v, 5);
    EXPECT_FALSE(r.next(t));
    EXPECT_EQ(r.error(), TagError::None);
}

struct NumberCase {
    const char* text;
    bool ok;
    double value;
};

class TagNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(TagNumber, ParsesWholeValueOnly) {
    Tag t;
    t.text = GetParam().text;
    double v = 0.0;
    EXPECT_EQ(t.toDouble(v), GetParam().ok);
    if (GetParam().ok) {
        EXPECT_EQ(v, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TagNumber,
    ::testing::Values(NumberCase{"0", true, 0.0}, NumberCase{"  -12.5 ", true, -12.5},
                      NumberCase{"+3", true, 3.0}, NumberCase{".5", true, 0.5},
                      NumberCase{"1e3", true, 1000.0},
                      NumberCase{"3012345.6789", true, 3012345.6789}, NumberCase{"", false, 0.0},
                      NumberCase{"1,5", false, 0.0}, NumberCase{"12abc", false, 0.0},
                      NumberCase{"inf", false, 0.0}, NumberCase{"1e400", false, 0.0}));

TEST(TagNumber, IntegersAcceptARealAndRejectOverflow) {
    Tag t;
    std::int64_t v = 0;
    t.text = " 42";
    ASSERT_TRUE(t.toInt(v));
    EXPECT_EQ(v, 42);
    t.text = "1.0";
    ASSERT_TRUE(t.toInt(v));
    EXPECT_EQ(v, 1);
    t.text = "1e30";
    EXPECT_FALSE(t.toInt(v));
    t.text = "x";
    EXPECT_FALSE(t.toInt(v));
}

TEST(MappedVector, GrowsKeepingValuesCopiesMovesAndShrinks) {
    MappedVector<double> v;
    EXPECT_TRUE(v.empty());
    for (int i = 0; i < 100000; ++i) {
        v.push_back(i * 0.5);
    }
    ASSERT_EQ(v.size(), 100000u);
    EXPECT_EQ(v[99999], 99999 * 0.5);
    const double run[3] = {1, 2, 3};
    EXPECT_EQ(v.append(run, 3), 100000u);
    EXPECT_EQ(v.back(), 3.0);
    MappedVector<double> copy(v);
    v.truncate(10);
    v.shrinkToFit();
    EXPECT_EQ(v.size(), 10u);
    EXPECT_EQ(v[9], 4.5);
    EXPECT_EQ(copy.size(), 100003u);
    EXPECT_EQ(copy[50000], 25000.0);
    MappedVector<double> moved(std::move(copy));
    EXPECT_EQ(moved.size(), 100003u);
    EXPECT_TRUE(copy.empty());
    moved.truncate(0);
    moved.shrinkToFit();
    EXPECT_TRUE(moved.empty());
    moved.push_back(7.0);
    EXPECT_EQ(moved[0], 7.0);
}

} // namespace
} // namespace vexilo::cadhost::dxf
