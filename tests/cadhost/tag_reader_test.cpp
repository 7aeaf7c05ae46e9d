// The tag scanner's edge cases: binary one-byte codes with the 255 escape, numbers written in
// odd but valid ways, and the mapped pool the drawing keeps its entities in.
#include "cadhost/dxf/tag_reader.h"
#include "cadhost/model/mapped_vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
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

template <std::size_t N> struct Bytes { unsigned char b[N]; };

// Element i of a stream of bytes without short periods, so that elements landing at a wrong
// offset never match by chance; made a word of the stream at a time.
template <std::size_t N> Bytes<N> element(std::size_t i) {
    Bytes<N> v;
    const std::size_t end = (i + 1) * N;
    for (std::size_t at = i * N; at < end;) {
        std::uint64_t x = (at / 8 + 1) * 0x9E3779B97F4A7C15ull;
        x ^= x >> 29;
        const std::size_t n = std::min(8 - at % 8, end - at);
        std::memcpy(v.b + (at - i * N), reinterpret_cast<const unsigned char*>(&x) + at % 8, n);
        at += n;
    }
    return v;
}

// The index of the first element of `v` that is not element(i), or v.size().
template <std::size_t N> std::size_t firstWrong(const MappedVector<Bytes<N>>& v) {
    for (std::size_t i = 0; i < v.size(); ++i) {
        const Bytes<N> want = element<N>(i);
        if (std::memcmp(v[i].b, want.b, N) != 0) {
            return i;
        }
    }
    return v.size();
}

template <std::size_t N> void appendFromKeepsOrder(std::size_t ownBytes, std::size_t otherBytes) {
    SCOPED_TRACE(testing::Message()
                 << N << "-byte elements, " << ownBytes << " + " << otherBytes << " bytes");
    MappedVector<Bytes<N>> own;
    MappedVector<Bytes<N>> other;
    const std::size_t ownCount = ownBytes / N;
    const std::size_t total = ownCount + otherBytes / N;
    for (std::size_t i = 0; i < ownCount; ++i) {
        own.push_back(element<N>(i));
    }
    for (std::size_t i = ownCount; i < total; ++i) {
        other.push_back(element<N>(i));
    }
    own.appendFrom(other);
    EXPECT_TRUE(other.empty());
    ASSERT_EQ(own.size(), total);
    EXPECT_EQ(firstWrong(own), total);
    // More than the spare room appendFrom can leave (under a huge page and two pages), so
    // that the joined range has to grow.
    const std::size_t more = ((std::size_t{2} << 20) + 4 * 4096) / N;
    for (std::size_t i = total; i < total + more; ++i) {
        own.push_back(element<N>(i));
    }
    EXPECT_EQ(firstWrong(own), own.size());
    const MappedVector<Bytes<N>> copy(own);
    EXPECT_EQ(copy.size(), own.size());
    EXPECT_EQ(firstWrong(copy), copy.size());
    MappedVector<Bytes<N>> moved(std::move(own));
    EXPECT_TRUE(own.empty());
    moved.truncate(total / 3);
    moved.shrinkToFit();
    EXPECT_EQ(firstWrong(moved), total / 3);
    moved.push_back(element<N>(total / 3));
    EXPECT_EQ(firstWrong(moved), total / 3 + 1);
}

TEST(MappedVector, AppendFromKeepsEveryElementInOrderAndStillGrows) {
    // Sizes that are not whole pages; the large ones move pages, the small one is copied.
    constexpr std::size_t kMB = std::size_t{1} << 20;
    appendFromKeepsOrder<1>(2 * kMB + 384, 2 * kMB + 256);
    appendFromKeepsOrder<32>(2 * kMB + 384, 2 * kMB + 256);
    appendFromKeepsOrder<128>(2 * kMB + 384, 3 * kMB + 256);
    appendFromKeepsOrder<128>(3 * kMB + 128, 2 * kMB + 4096);
    appendFromKeepsOrder<32>(2 * kMB + 384, kMB / 2);
    appendFromKeepsOrder<32>(0, 2 * kMB);
}

} // namespace
} // namespace vexilo::cadhost::dxf
