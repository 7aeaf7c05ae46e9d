// The reader on hand-made files: every fatal error kind with its place, local damage skipped
// and counted with the rest of the drawing kept, and the DXF details that are easy to get wrong
// (line endings, comments, flags, defaults, paper space, meshes, block references).
#include "cadhost/dxf/dxf_reader.h"
#include "cadhost/model/entity_members.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vexilo::cadhost::dxf {
namespace {

using Tags = std::vector<std::pair<int, std::string>>;

/// An ASCII DXF from tags, group codes right-aligned in three columns as AutoCAD writes them.
std::string ascii(const Tags& tags, const char* eol = "\n") {
    std::string out;
    for (const auto& [code, value] : tags) {
        std::string c = std::to_string(code);
        out += std::string(c.size() < 3 ? 3 - c.size() : 0, ' ') + c + eol + value + eol;
    }
    return out;
}

/// Tags of an ENTITIES section holding `body`, with EOF.
Tags entitiesFile(const Tags& body) {
    Tags t{{0, "SECTION"}, {2, "ENTITIES"}};
    t.insert(t.end(), body.begin(), body.end());
    t.insert(t.end(), {{0, "ENDSEC"}, {0, "EOF"}});
    return t;
}

const Tags kLine{{0, "LINE"}, {5, "1A"}, {8, "0"},  {10, "1.5"}, {20, "2"},
                 {30, "0"},   {11, "4"}, {21, "6"}, {31, "0"}};

ReadResult readText(const std::string& s) {
    return readDxf(s);
}

// ---- fatal errors ----

struct FatalCase {
    const char* name;
    std::string bytes;
    DxfError kind;
    std::size_t location;
};

class FatalError : public ::testing::TestWithParam<FatalCase> {};

TEST_P(FatalError, NamesKindAndPlace) {
    const FatalCase& c = GetParam();
    const auto r = readDxf(c.bytes);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().kind, c.kind) << r.error().message;
    EXPECT_EQ(r.error().location, c.location) << r.error().message;
    EXPECT_NE(r.error().message.find(describe(c.kind)), std::string::npos);
    if (c.location > 0) {
        EXPECT_NE(r.error().message.find(std::to_string(c.location)), std::string::npos);
    }
}

std::string cut(const std::string& s, std::size_t keep) {
    return s.substr(0, keep);
}

const std::string kGoodFile = ascii(entitiesFile(kLine));
// Two-byte group codes: (0,"SECTION"), (2,"ENTITIES"), (0,"LINE"), (10, 1.0 as double) ...
std::string binaryFile(bool withEof) {
    std::string b("AutoCAD Binary DXF\r\n\x1a\0", 22);
    const auto code = [&](int c) {
        b.push_back(static_cast<char>(c & 0xFF));
        b.push_back(static_cast<char>(c >> 8));
    };
    const auto str = [&](int c, const char* s) {
        code(c);
        b.append(s);
        b.push_back('\0');
    };
    const auto num = [&](int c, double v) {
        code(c);
        char raw[8];
        std::memcpy(raw, &v, 8);
        b.append(raw, 8);
    };
    str(0, "SECTION");
    str(2, "ENTITIES");
    str(0, "LINE");
    str(8, "0");
    num(10, 1.0);
    num(20, 2.0);
    num(11, 3.0);
    num(21, 4.0);
    str(0, "ENDSEC");
    if (withEof) {
        str(0, "EOF");
    }
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FatalError,
    ::testing::Values(
        FatalCase{"EmptyFile", "", DxfError::NotDxf, 0},
        FatalCase{"BlankLinesOnly", "\n\n\r\n", DxfError::NotDxf, 0},
        FatalCase{"TextFile", "hello world\nsecond line\n", DxfError::NotDxf, 1},
        FatalCase{"FirstTagNotSection", ascii({{0, "LINE"}, {0, "EOF"}}), DxfError::NotDxf, 1},
        FatalCase{"CutAfterGroupCode", cut(kGoodFile, kGoodFile.find("1.5")), DxfError::Truncated,
                  11},
        FatalCase{"CutInsideEntities", cut(kGoodFile, kGoodFile.find(" 11")), DxfError::Truncated,
                  15},
        FatalCase{"NoEofMarker", ascii({{0, "SECTION"}, {2, "ENTITIES"}, {0, "ENDSEC"}}),
                  DxfError::Truncated, 5},
        FatalCase{"GroupCodeNotANumber", ascii({{0, "SECTION"}, {2, "ENTITIES"}}) + "abc\nLINE\n",
                  DxfError::BadGroupCode, 5},
        FatalCase{"GroupCodeOutOfRange", ascii({{0, "SECTION"}, {2, "ENTITIES"}, {5000, "x"}}),
                  DxfError::BadGroupCode, 5},
        FatalCase{"NegativeGroupCode", ascii({{0, "SECTION"}}) + " -5\nx\n", DxfError::BadGroupCode,
                  3},
        FatalCase{"BinaryCutInDouble", cut(binaryFile(true), 70), DxfError::Truncated, 64},
        FatalCase{"BinaryWithoutEof", binaryFile(false), DxfError::Truncated, 94},
        FatalCase{"BinarySentinelOnly", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22),
                  DxfError::NotDxf, 0},
        FatalCase{"BinaryUndefinedGroupCode",
                  binaryFile(true).substr(0, 43) + std::string("\xD0\x07xx", 4),
                  DxfError::BadGroupCode, 43}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadDxf, BadGroupCodeSaysWhetherItIsANumber) {
    const std::string head = ascii({{0, "SECTION"}, {2, "ENTITIES"}});
    const struct {
        std::string code;
        std::string message;
    } cases[] = {
        {"abc", "line 5: a group code that is not a number (bad group code)"},
        {"1072", "line 5: a group code outside the 0 to 1071 DXF defines (bad group code)"},
        {"-5", "line 5: a group code outside the 0 to 1071 DXF defines (bad group code)"},
        {"99999999999", "line 5: a group code outside the 0 to 1071 DXF defines (bad group code)"},
    };
    for (const auto& c : cases) {
        const auto r = readDxf(head + c.code + "\nx\n");
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error().message, c.message) << c.code;
    }
}

TEST(ReadDxfFile, CannotOpenSaysWhy) {
    const std::string fifo = ::testing::TempDir() + "vexilo_pipe.dxf";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {"/nonexistent/drawing.dxf",
         "cannot open /nonexistent/drawing.dxf: No such file or directory"},
        {"/tmp", "cannot open /tmp: it is a folder, not a regular file"},
        // Opening a FIFO used to wait for a writer forever.
        {fifo, "cannot open " + fifo + ": it is a FIFO, not a regular file"},
    };
    for (const auto& c : cases) {
        const auto r = readDxfFile(c.path);
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error().kind, DxfError::CannotOpen);
        EXPECT_EQ(r.error().message, c.message);
    }
    ::unlink(fifo.c_str());
}

TEST(ReadDxf, BinaryByteOffsetsAreReportedAsOffsets) {
    const auto r = readDxf(cut(binaryFile(true), 70));
    ASSERT_FALSE(r.has_value());
    EXPECT_TRUE(r.error().locationIsByteOffset);
    EXPECT_NE(r.error().message.find("byte offset 64"), std::string::npos);
}

TEST(ReadDxf, BinaryLineIsRead) {
    const auto r = readDxf(binaryFile(true));
    ASSERT_TRUE(r.has_value()) << r.error().message;
    ASSERT_EQ(r->drawing.entities().size(), 1u);
    EXPECT_EQ(r->drawing.entities()[0].line()->end, (Vec3{3.0, 4.0, 0.0}));
    EXPECT_TRUE(r->report.binary);
}

// ---- local damage ----

TEST(LocalDamage, EntityWithBadNumberIsSkippedAndCountedRestKept) {
    Tags bad = kLine;
    bad[3].second = "1.2.3";
    Tags body = bad;
    body.insert(body.end(), kLine.begin(), kLine.end());
    body[body.size() - 8].second = "1B";
    const auto r = readText(ascii(entitiesFile(body)));
    ASSERT_TRUE(r.has_value()) << r.error().message;
    EXPECT_EQ(r->drawing.entities().size(), 1u);
    EXPECT_EQ(r->report.count(SkipReason::BadValue), 1u);
    ASSERT_EQ(r->report.skipped.size(), 1u);
    EXPECT_EQ(r->report.skipped[0].what, "LINE");
    EXPECT_EQ(r->report.skipped[0].firstLocation, 5u);
    EXPECT_NE(r->report.summary().find("skipped 1 LINE"), std::string::npos);
}

struct BadValueCase {
    const char* name;
    Tags entity;
};

class BadValue : public ::testing::TestWithParam<BadValueCase> {};

TEST_P(BadValue, IsSkippedAsBadValue) {
    const auto r = readText(ascii(entitiesFile(GetParam().entity)));
    ASSERT_TRUE(r.has_value()) << r.error().message;
    EXPECT_TRUE(r->drawing.entities().empty());
    EXPECT_EQ(r->report.count(SkipReason::BadValue), 1u) << r->report.summary();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadValue,
    ::testing::Values(
        BadValueCase{"EmptyNumber", {{0, "POINT"}, {10, ""}}},
        BadValueCase{"NaNText", {{0, "POINT"}, {10, "nan"}}},
        BadValueCase{"Infinity", {{0, "POINT"}, {10, "1e999"}}},
        BadValueCase{"ZeroRadiusArc", {{0, "ARC"}, {40, "0"}}},
        BadValueCase{"NegativeRadiusCircle", {{0, "CIRCLE"}, {40, "-2"}}},
        BadValueCase{"ZeroNormal", {{0, "CIRCLE"}, {40, "2"}, {210, "0"}, {220, "0"}, {230, "0"}}},
        BadValueCase{"BadFlagInteger", {{0, "LWPOLYLINE"}, {70, "x"}, {10, "1"}, {20, "2"}}},
        BadValueCase{"BadVertexInPolyline",
                     {{0, "POLYLINE"}, {70, "0"}, {0, "VERTEX"}, {10, "?"}, {0, "SEQEND"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LocalDamage, UnsupportedTypesPaperSpaceAndMeshesAreCountedByReason) {
    const Tags body{{0, "IMAGE"},  {8, "0"},         {0, "WIPEOUT"}, {0, "REGION"},   {0, "LINE"},
                    {67, "1"},     {0, "POLYLINE"},  {70, "16"},     {0, "VERTEX"},   {10, "1"},
                    {0, "SEQEND"}, {0, "POLYLINE"},  {70, "64"},     {0, "VERTEX"},   {70, "192"},
                    {0, "VERTEX"}, {70, "128"},      {0, "SEQEND"},  {0, "POLYLINE"}, {70, "0"},
                    {0, "SEQEND"}, {0, "LWPOLYLINE"}};
    const auto r = readText(ascii(entitiesFile(body)));
    ASSERT_TRUE(r.has_value()) << r.error().message;
    EXPECT_TRUE(r->drawing.entities().empty());
    EXPECT_EQ(r->report.count(SkipReason::UnsupportedEntity), 3u);
    EXPECT_EQ(r->report.count(SkipReason::PaperSpace), 1u);
    EXPECT_EQ(r->report.count(SkipReason::PolygonMesh), 1u);
    EXPECT_EQ(r->report.count(SkipReason::PolyfaceMesh), 1u);
    EXPECT_EQ(r->report.count(SkipReason::NoVertices), 2u);
    EXPECT_EQ(r->report.skippedCount(), 8u);
}

TEST(LocalDamage, ManyDistinctUnknownTypesStayBounded) {
    Tags body;
    for (int i = 0; i < 500; ++i) {
        body.push_back({0, "TYPE" + std::to_string(i)});
    }
    const auto r = readText(ascii(entitiesFile(body)));
    ASSERT_TRUE(r.has_value());
    EXPECT_LE(r->report.skipped.size(), 65u);
    EXPECT_EQ(r->report.count(SkipReason::UnsupportedEntity), 500u);
}

TEST(LocalDamage, TypeNameWithBytesTheReportCannotShowIsCountedOnOneLine) {
    const auto r = readText(ascii(entitiesFile({{0, "ODD\x01"}, {0, "ODD\x01"}, {0, "ODD\x01"}})));
    ASSERT_TRUE(r.has_value());
    ASSERT_EQ(r->report.skipped.size(), 1u);
    EXPECT_EQ(r->report.skipped[0].what, "ODD?");
    EXPECT_EQ(r->report.skipped[0].count, 3u);
}

TEST(LocalDamage, DamagedHeaderUcsFallsBackToWorldWithANote) {
    const Tags t{{0, "SECTION"}, {2, "HEADER"}, {9, "$UCSXDIR"}, {10, "1"},
                 {20, "0"},      {30, "0"},     {9, "$UCSYDIR"}, {10, "2"},
                 {20, "0"},      {30, "0"},     {0, "ENDSEC"},   {0, "EOF"}};
    const auto r = readText(ascii(t));
    ASSERT_TRUE(r.has_value());
    EXPECT_TRUE(r->drawing.ucs().isWorld());
    ASSERT_EQ(r->report.notes.size(), 1u);
}

TEST(LocalDamage, UnknownCodePageIsNoted) {
    const Tags t{{0, "SECTION"},   {2, "HEADER"}, {9, "$DWGCODEPAGE"},
                 {3, "ANSI_4242"}, {0, "ENDSEC"}, {0, "EOF"}};
    const auto r = readText(ascii(t));
    ASSERT_TRUE(r.has_value());
    ASSERT_EQ(r->report.notes.size(), 1u);
    EXPECT_NE(r->report.notes[0].find("ANSI_4242"), std::string::npos);
}

// ---- format details ----

TEST(Format, CrLfLineEndsCommentsAndSpacesReadAlike) {
    Tags body = kLine;
    body.insert(body.begin() + 1, {999, "a comment"});
    body[4].second = "  1.5  ";
    body[5].second = "+2";
    const auto lf = readText(ascii(entitiesFile(kLine)));
    const auto crlf = readText(ascii(entitiesFile(body), "\r\n"));
    ASSERT_TRUE(lf.has_value());
    ASSERT_TRUE(crlf.has_value()) << crlf.error().message;
    ASSERT_EQ(crlf->drawing.entities().size(), 1u);
    EXPECT_EQ(crlf->drawing.entities()[0].line()->start, lf->drawing.entities()[0].line()->start);
    EXPECT_EQ(crlf->drawing.entities()[0].handle, 0x1Au);
}

TEST(Format, Utf8ByteOrderMarkIsSkipped) {
    const auto r = readText("\xEF\xBB\xBF" + ascii(entitiesFile(kLine)));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->drawing.entities().size(), 1u);
}

TEST(Format, LwPolylineWidthsBulgesElevationExtrusionAndClosedFlag) {
    const Tags body{{0, "LWPOLYLINE"}, {5, "2F"},    {8, "PARCELS"}, {90, "3"},  {70, "129"},
                    {43, "0.3"},       {38, "5"},    {10, "1"},      {20, "2"},  {40, "0.5"},
                    {41, "1.5"},       {42, "1"},    {10, "3"},      {20, "4"},  {10, "5"},
                    {20, "6"},         {42, "-0.5"}, {210, "0"},     {220, "0"}, {230, "-1"}};
    const auto r = readText(ascii(entitiesFile(body)));
    ASSERT_TRUE(r.has_value());
    const Drawing& d = r->drawing;
    ASSERT_EQ(d.entities().size(), 1u);
    const Entity& e = d.entities()[0];
    EXPECT_EQ(objectName(e), "AcDbPolyline");
    EXPECT_EQ(*coordinates(d, e), (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(*closed(e));
    EXPECT_EQ(*elevation(e), 5.0);
    EXPECT_EQ(*normal(e), (Vec3{0, 0, -1}));
    EXPECT_EQ(d.vertices(*e.polyline())[0].bulge, 1.0);
    EXPECT_EQ(d.vertices(*e.polyline())[2].bulge, -0.5);
    // Per-vertex widths win over the constant width; vertices without 40/41 have 0.
    EXPECT_EQ(getWidth(d, e, 0)->start, 0.5);
    EXPECT_EQ(getWidth(d, e, 0)->end, 1.5);
    EXPECT_EQ(getWidth(d, e, 1)->start, 0.0);
    EXPECT_EQ(getWidth(d, e, 2)->end, 0.0);
    EXPECT_EQ(d.layer(e.layer).name, "PARCELS");
}

TEST(Format, TwoDimensionalPolylineTakesDefaultWidthsAndSkipsSplineFrame) {
    const Tags body{{0, "POLYLINE"}, {66, "1"},     {70, "4"},  {30, "2.5"},   {40, "0.2"},
                    {41, "0.2"},     {0, "VERTEX"}, {10, "0"},  {20, "0"},     {0, "VERTEX"},
                    {10, "9"},       {20, "9"},     {70, "16"}, {0, "VERTEX"}, {10, "1"},
                    {20, "0"},       {40, "1"},     {41, "2"},  {0, "SEQEND"}};
    const auto r = readText(ascii(entitiesFile(body)));
    ASSERT_TRUE(r.has_value());
    const Drawing& d = r->drawing;
    ASSERT_EQ(d.entities().size(), 1u);
    const Entity& e = d.entities()[0];
    EXPECT_EQ(objectName(e), "AcDb2dPolyline");
    EXPECT_EQ(*coordinates(d, e), (std::vector<double>{0, 0, 2.5, 1, 0, 2.5}));
    EXPECT_EQ(getWidth(d, e, 0)->start, 0.2);
    EXPECT_EQ(getWidth(d, e, 0)->end, 0.2);
    EXPECT_EQ(getWidth(d, e, 1).error(), automation::kBadIndexCode);
}

TEST(Format, PolylineWithoutSeqendEndsAtTheNextEntity) {
    Tags body{{0, "POLYLINE"}, {70, "8"}, {0, "VERTEX"}, {10, "1"}, {20, "2"}, {30, "3"}};
    body.insert(body.end(), kLine.begin(), kLine.end());
    const auto r = readText(ascii(entitiesFile(body)));
    ASSERT_TRUE(r.has_value());
    ASSERT_EQ(r->drawing.entities().size(), 2u);
    EXPECT_EQ(objectName(r->drawing.entities()[0]), "AcDb3dPolyline");
    EXPECT_EQ(objectName(r->drawing.entities()[1]), "AcDbLine");
}

TEST(Format, EntitiesWithoutOrWithDuplicateHandlesGetFreshOnes) {
    Tags body = kLine;
    body.insert(body.end(), kLine.begin(), kLine.end());
    Tags noHandle = kLine;
    noHandle.erase(noHandle.begin() + 1);
    body.insert(body.end(), noHandle.begin(), noHandle.end());
    const auto r = readText(ascii(entitiesFile(body)));
    ASSERT_TRUE(r.has_value());
    const auto e = r->drawing.entities();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].handle, 0x1Au);
    EXPECT_NE(e[1].handle, e[0].handle);
    EXPECT_NE(e[2].handle, 0u);
    EXPECT_NE(e[2].handle, e[1].handle);
    for (const Entity& x : e) {
        EXPECT_EQ(r->drawing.findByHandle(x.handle), &x);
    }
    EXPECT_EQ(r->drawing.findByHandle(0x9999), nullptr);
}

TEST(Format, LayerTableOffFrozenAndLockedAndUnknownLayerCreated) {
    const Tags t{{0, "SECTION"},  {2, "TABLES"}, {0, "TABLE"},  {2, "LAYER"},  {0, "LAYER"},
                 {2, "Road"},     {62, "-1"},    {70, "4"},     {0, "LAYER"},  {2, "Pts"},
                 {62, "3"},       {70, "1"},     {0, "ENDTAB"}, {0, "ENDSEC"}, {0, "SECTION"},
                 {2, "ENTITIES"}, {0, "POINT"},  {8, "ROAD"},   {0, "POINT"},  {8, "New"},
                 {0, "ENDSEC"},   {0, "EOF"}};
    const auto r = readText(ascii(t));
    ASSERT_TRUE(r.has_value());
    const Drawing& d = r->drawing;
    const Layer& road = d.layer(*d.findLayer("road"));
    EXPECT_FALSE(road.on);
    EXPECT_TRUE(road.locked);
    EXPECT_EQ(road.color, 1);
    EXPECT_TRUE(d.layer(*d.findLayer("Pts")).frozen);
    ASSERT_EQ(d.entities().size(), 2u);
    EXPECT_EQ(d.entities()[0].layer, *d.findLayer("Road"));
    EXPECT_EQ(d.layer(d.entities()[1].layer).name, "New");
}

Tags blocksAndEntities(const Tags& blocks, const Tags& entities) {
    Tags t{{0, "SECTION"}, {2, "BLOCKS"}};
    t.insert(t.end(), blocks.begin(), blocks.end());
    t.insert(t.end(), {{0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"}});
    t.insert(t.end(), entities.begin(), entities.end());
    t.insert(t.end(), {{0, "ENDSEC"}, {0, "EOF"}});
    return t;
}

TEST(Blocks, UndefinedAndSelfInsertingReferencesAreDroppedAndCounted) {
    const Tags blocks{{0, "BLOCK"},  {2, "A"},      {0, "INSERT"}, {2, "B"},
                      {0, "LINE"},   {0, "ENDBLK"}, {0, "BLOCK"},  {2, "B"},
                      {0, "INSERT"}, {2, "A"},      {0, "ENDBLK"}, {0, "BLOCK"},
                      {2, "C"},      {0, "INSERT"}, {2, "C"},      {0, "ENDBLK"}};
    const Tags entities{{0, "INSERT"},  {2, "A"},      {0, "INSERT"},
                        {2, "MISSING"}, {0, "INSERT"}, {2, "c"}};
    const auto r = readText(ascii(blocksAndEntities(blocks, entities)));
    ASSERT_TRUE(r.has_value()) << r.error().message;
    EXPECT_EQ(r->report.count(SkipReason::UndefinedBlock), 1u);
    EXPECT_EQ(r->report.count(SkipReason::RecursiveBlock), 2u);
    const Drawing& d = r->drawing;
    ASSERT_EQ(d.entities().size(), 2u);
    // A keeps its line and its reference to B; B lost its reference back to A.
    EXPECT_EQ(d.blockEntities(d.blocks()[*d.findBlock("A")]).size(), 2u);
    EXPECT_EQ(d.blockEntities(d.blocks()[*d.findBlock("B")]).size(), 0u);
    EXPECT_EQ(d.blockEntities(d.blocks()[*d.findBlock("C")]).size(), 0u);
}

TEST(Blocks, ReferenceBeforeItsDefinitionIsResolved) {
    const Tags t{{0, "SECTION"}, {2, "ENTITIES"}, {0, "INSERT"}, {2, "LATE"}, {0, "ENDSEC"},
                 {0, "SECTION"}, {2, "BLOCKS"},   {0, "BLOCK"},  {2, "LATE"}, {0, "POINT"},
                 {0, "ENDBLK"},  {0, "ENDSEC"},   {0, "EOF"}};
    const auto r = readText(ascii(t));
    ASSERT_TRUE(r.has_value());
    ASSERT_EQ(r->drawing.entities().size(), 1u);
    EXPECT_EQ(r->drawing.blocks()[r->drawing.entities()[0].insert()->block].name, "LATE");
}

TEST(Blocks, AttributesKeptInvisibleOnesLeftOutMinsertAndPaperSpaceBlocksCounted) {
    const Tags blocks{{0, "BLOCK"}, {2, "*Paper_Space"}, {0, "LINE"},  {0, "ENDBLK"}, {0, "BLOCK"},
                      {2, "P"},     {0, "POINT"},        {0, "ENDBLK"}};
    const Tags entities{{0, "INSERT"}, {2, "P"},     {66, "1"},     {70, "3"},
                        {0, "ATTRIB"}, {1, "value"}, {40, "2"},     {0, "ATTRIB"},
                        {1, "hidden"}, {70, "1"},    {0, "SEQEND"}, {0, "POINT"}};
    const auto r = readText(ascii(blocksAndEntities(blocks, entities)));
    ASSERT_TRUE(r.has_value());
    ASSERT_EQ(r->drawing.entities().size(), 2u);
    const auto attributes = r->drawing.attributes(*r->drawing.entities()[0].insert());
    ASSERT_EQ(attributes.size(), 1u);
    EXPECT_EQ(r->drawing.text(*attributes[0].text()), "value");
    EXPECT_EQ(r->report.count(SkipReason::ArrayReducedToOne), 1u);
    EXPECT_EQ(r->report.count(SkipReason::PaperSpace), 1u);
    EXPECT_EQ(r->drawing.blocks().size(), 1u);
}

TEST(Format, ArcAnglesBecomeRadiansInOneTurn) {
    const Tags body{{0, "ARC"}, {40, "2"}, {50, "-90"}, {51, "450"}};
    const auto r = readText(ascii(entitiesFile(body)));
    ASSERT_TRUE(r.has_value());
    const Entity& e = r->drawing.entities()[0];
    EXPECT_NEAR(*startAngle(e), 1.5 * std::numbers::pi, 1e-15);
    EXPECT_NEAR(*endAngle(e), 0.5 * std::numbers::pi, 1e-15);
    EXPECT_NEAR(*arcLength(e), 2.0 * std::numbers::pi, 1e-14);
}

TEST(Format, ReadsTheTestDrawingFromAFileAndFromMemoryAlike) {
    const std::string path = std::string(VEXILO_TEST_DATA) + "/cadhost/drawing_r2018.dxf";
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const auto fromFile = readDxfFile(path);
    const auto fromMemory = readDxf(ss.str());
    ASSERT_TRUE(fromFile.has_value());
    ASSERT_TRUE(fromMemory.has_value());
    EXPECT_EQ(fromFile->drawing.entities().size(), fromMemory->drawing.entities().size());
    EXPECT_EQ(fromFile->report.bytes, ss.str().size());
}

} // namespace
} // namespace vexilo::cadhost::dxf

namespace vexilo::cadhost::dxf {
namespace {

TEST(Format, SortentsTableSetsTheDrawOrder) {
    // B is drawn under A and C though it comes last in the file; D has no entry.
    const Tags t{{0, "SECTION"}, {2, "ENTITIES"},
                 {0, "LINE"},    {5, "A"},
                 {0, "LINE"},    {5, "C"},
                 {0, "LINE"},    {5, "B"},
                 {0, "LINE"},    {5, "D"},
                 {0, "ENDSEC"},  {0, "SECTION"},
                 {2, "OBJECTS"}, {0, "SORTENTSTABLE"},
                 {5, "99"},      {331, "B"},
                 {5, "1"},       {331, "A"},
                 {5, "A"},       {0, "ENDSEC"},
                 {0, "EOF"}};
    const auto r = readText(ascii(t));
    ASSERT_TRUE(r.has_value()) << r.error().message;
    std::vector<std::uint64_t> order;
    for (const Entity& e : r->drawing.entities()) {
        order.push_back(e.handle);
    }
    EXPECT_EQ(order, (std::vector<std::uint64_t>{0xB, 0xA, 0xC, 0xD}));
    ASSERT_NE(r->drawing.findByHandle(0xB), nullptr);
    EXPECT_EQ(r->drawing.findByHandle(0xB), &r->drawing.entities()[0]);
}

TEST(Format, LineKeepsItsExtrusionAsNormal) {
    Tags body = kLine;
    body.insert(body.end(), {{210, "0"}, {220, "0"}, {230, "-2"}});
    const auto r = readText(ascii(entitiesFile(body)));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(*normal(r->drawing.entities()[0]), (Vec3{0, 0, -1}));
    const auto plain = readText(ascii(entitiesFile(kLine)));
    EXPECT_EQ(*normal(plain->drawing.entities()[0]), (Vec3{0, 0, 1}));
}

} // namespace
} // namespace vexilo::cadhost::dxf
