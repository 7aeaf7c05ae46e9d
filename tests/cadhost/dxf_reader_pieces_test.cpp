// Reading the entities section in pieces on several threads gives what a read in one piece
// gives: the same entities in the same order, pools, layers, report and errors.
#include "cadhost/dxf/dxf_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vexilo::cadhost {
namespace {

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A drawing with every kind of thing that crosses a piece boundary: entities on layers the
// table lacks (first met in different pieces), polylines with their vertices, references with
// attributes, true colours first met in different pieces, multilines, a reference to a block
// that is not defined, paper-space and damaged entities, and unknown kinds, one of them with a
// name the report cannot show.
std::string generatedDrawing() {
    std::ostringstream d;
    d << "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n0\nENDSEC\n";
    d << "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nPARCELS\n62\n3\n0\nENDTAB\n"
         "0\nENDSEC\n";
    d << "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nMARK\n10\n0\n20\n0\n0\nCIRCLE\n8\n0\n10\n0\n20\n0\n"
         "40\n1\n0\nENDBLK\n0\nENDSEC\n";
    d << "0\nSECTION\n2\nENTITIES\n";
    int handle = 0x100;
    for (int i = 0; i < 600; ++i) {
        const std::string layer = i % 5 == 0 ? "PARCELS" : "L" + std::to_string((i * 7) % 23);
        const double x = 1000.0 + i * 1.5;
        d << "0\nLINE\n5\n"
          << std::hex << handle++ << std::dec << "\n8\n"
          << layer << "\n420\n"
          << (599 - i) / 40 * 0x010305 << "\n10\n"
          << x << "\n20\n2.5\n11\n"
          << x + 3 << "\n21\n7\n";
        d << "0\nLWPOLYLINE\n5\n"
          << std::hex << handle++ << std::dec << "\n8\n"
          << layer << "\n90\n3\n70\n1\n10\n"
          << x << "\n20\n0\n40\n0.5\n41\n0.25\n10\n"
          << x + 1 << "\n20\n1\n42\n0.4\n10\n"
          << x + 2 << "\n20\n0\n";
        d << "0\nPOLYLINE\n5\n"
          << std::hex << handle++ << std::dec << "\n8\n"
          << layer << "\n66\n1\n70\n0\n";
        for (int v = 0; v < 3; ++v) {
            d << "0\nVERTEX\n8\n" << layer << "\n10\n" << x + v << "\n20\n" << v * 2 << "\n";
        }
        d << "0\nSEQEND\n";
        d << "0\nTEXT\n5\n"
          << std::hex << handle++ << std::dec << "\n8\n"
          << layer << "\n10\n"
          << x << "\n20\n9\n40\n2.5\n1\nP" << i << "\n";
        d << "0\nINSERT\n5\n"
          << std::hex << handle++ << std::dec << "\n8\n"
          << layer << "\n2\n"
          << (i % 9 == 0 ? "NOWHERE" : "MARK") << "\n66\n"
          << (i % 2) << "\n10\n"
          << x << "\n20\n4\n";
        if (i % 2 == 1) {
            d << "0\nATTRIB\n8\n"
              << layer << "\n420\n"
              << i / 50 * 0x070503 << "\n10\n"
              << x << "\n20\n5\n40\n1\n1\nH" << i << "\n2\nHEIGHT\n0\nSEQEND\n";
        }
        d << "0\nSPLINE\n5\n"
          << std::hex << handle++ << std::dec << "\n8\n"
          << layer << "\n71\n2\n72\n6\n73\n3\n40\n0\n40\n0\n40\n0\n40\n1\n40\n1\n40\n1\n10\n"
          << x << "\n20\n0\n10\n"
          << x + 1 << "\n20\n2\n10\n"
          << x + 2 << "\n20\n0\n";
        if (i % 4 == 0) {
            d << "0\nMLINE\n8\n"
              << layer << "\n40\n1\n70\n0\n71\n1\n72\n2\n73\n2\n10\n"
              << x << "\n20\n0\n";
            for (int v = 0; v < 2; ++v) {
                d << "11\n"
                  << x + v << "\n21\n0\n12\n1\n22\n0\n13\n0\n23\n1\n74\n1\n41\n0\n75\n0\n"
                  << "74\n1\n41\n0\n75\n0\n";
            }
        }
        if (i % 7 == 0) {
            d << "0\nWIPEOUT\n8\n" << layer << "\n";
            d << "0\nCIRCLE\n67\n1\n10\n0\n20\n0\n40\n1\n";
            d << "0\nARC\n10\n" << x << "\n20\nnot-a-number\n40\n1\n50\n0\n51\n90\n";
        }
        if (i > 450 && i % 13 == 0) {
            // A kind and a layer first met late in the section.
            d << "0\nIMAGE\n8\n0\n0\nPOINT\n8\nLATE\n10\n" << x << "\n20\n1\n";
        }
        if (i % 11 == 0) {
            d << "0\nODD\x01KIND\n8\n0\n";
        }
    }
    d << "0\nENDSEC\n0\nSECTION\n2\nOBJECTS\n0\nDICTIONARY\n0\nENDSEC\n0\nEOF\n";
    return d.str();
}

// Compares two reads of the same bytes, entity by entity and pool by pool.
void expectSameRead(const dxf::ReadResult& one, const dxf::ReadResult& pieces) {
    ASSERT_EQ(one.has_value(), pieces.has_value());
    if (!one) {
        EXPECT_EQ(one.error().kind, pieces.error().kind);
        EXPECT_EQ(one.error().location, pieces.error().location);
        EXPECT_EQ(one.error().message, pieces.error().message);
        return;
    }
    const Drawing& a = one->drawing;
    const Drawing& b = pieces->drawing;
    ASSERT_EQ(a.entities().size(), b.entities().size());
    for (std::size_t i = 0; i < a.entities().size(); ++i) {
        const Entity& ea = a.entities()[i];
        const Entity& eb = b.entities()[i];
        ASSERT_TRUE(ea == eb) << "entity " << i << " of " << dxfTypeName(ea.type);
        if (const InsertData* insert = ea.insert()) {
            const auto aa = a.attributes(*insert);
            const auto ab = b.attributes(*eb.insert());
            ASSERT_TRUE(std::equal(aa.begin(), aa.end(), ab.begin(), ab.end())) << "entity " << i;
        }
    }
    const Drawing::PoolSizes sa = a.poolSizes();
    const Drawing::PoolSizes sb = b.poolSizes();
    ASSERT_EQ(sa.vertices, sb.vertices);
    ASSERT_EQ(sa.widths, sb.widths);
    ASSERT_EQ(sa.text, sb.text);
    ASSERT_EQ(sa.numbers, sb.numbers);
    ASSERT_EQ(sa.attributes, sb.attributes);
    const auto va = a.vertexRun(0, sa.vertices);
    EXPECT_TRUE(std::equal(va.begin(), va.end(), b.vertexRun(0, sb.vertices).begin()));
    const auto na = a.numbers(0, sa.numbers);
    EXPECT_TRUE(std::equal(na.begin(), na.end(), b.numbers(0, sb.numbers).begin()));
    PolylineData allWidths;
    allWidths.firstWidth = 0;
    allWidths.vertexCount = sa.widths;
    const auto wa = a.widths(allWidths);
    EXPECT_TRUE(std::equal(wa.begin(), wa.end(), b.widths(allWidths).begin()));
    TextData allText;
    allText.textLength = sa.text;
    EXPECT_EQ(a.text(allText), b.text(allText));
    EXPECT_TRUE(
        std::equal(a.layers().begin(), a.layers().end(), b.layers().begin(), b.layers().end()));
    EXPECT_TRUE(std::equal(a.trueColors().begin(), a.trueColors().end(), b.trueColors().begin(),
                           b.trueColors().end()));
    ASSERT_EQ(a.blocks().size(), b.blocks().size());
    for (std::size_t i = 0; i < a.blocks().size(); ++i) {
        const auto ba = a.blockEntities(a.blocks()[i]);
        const auto bb = b.blockEntities(b.blocks()[i]);
        EXPECT_TRUE(std::equal(ba.begin(), ba.end(), bb.begin(), bb.end())) << "block " << i;
    }
    ASSERT_EQ(one->report.skipped.size(), pieces->report.skipped.size());
    for (std::size_t i = 0; i < one->report.skipped.size(); ++i) {
        const dxf::SkippedItems& x = one->report.skipped[i];
        const dxf::SkippedItems& y = pieces->report.skipped[i];
        EXPECT_EQ(x.reason, y.reason);
        EXPECT_EQ(x.what, y.what);
        EXPECT_EQ(x.count, y.count);
        EXPECT_EQ(x.firstLocation, y.firstLocation) << x.what;
    }
    EXPECT_EQ(one->report.notes, pieces->report.notes);
}

void expectPiecesReadAsOne(const std::string& bytes, const std::string& name) {
    SCOPED_TRACE(name);
    dxf::ReadOptions onePiece;
    onePiece.threads = 1;
    const dxf::ReadResult one = dxf::readDxf(bytes, onePiece);
    for (const unsigned threads : {2u, 3u, 7u}) {
        SCOPED_TRACE(threads);
        dxf::ReadOptions options;
        options.threads = threads;
        options.minPieceBytes = 1;
        expectSameRead(one, dxf::readDxf(bytes, options));
    }
}

TEST(DxfReaderPieces, ReadsFixturesSamplesAndAGeneratedDrawingAsOnePieceDoes) {
    std::vector<std::filesystem::path> files;
    for (const char* folder : {"/tests/data/cadhost", "/tests/data/cadhost/kinds", "/samples"}) {
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(VEXILO_SOURCE_DIR) + folder)) {
            if (entry.path().extension() == ".dxf") {
                files.push_back(entry.path());
            }
        }
    }
    ASSERT_GE(files.size(), 15u);
    for (const auto& file : files) {
        expectPiecesReadAsOne(fileText(file), file.filename().string());
    }
    const std::string generated = generatedDrawing();
    const dxf::ReadResult read = dxf::readDxf(generated);
    ASSERT_TRUE(read) << read.error().message;
    ASSERT_GT(read->report.skippedCount(), 0u);
    expectPiecesReadAsOne(generated, "generated");
}

// A file cut short or damaged inside the entities section fails with the same error and line,
// whichever piece the damage falls in.
TEST(DxfReaderPieces, DamagedEntitiesGiveTheSameErrorAsOnePiece) {
    const std::string generated = generatedDrawing();
    const std::size_t section = generated.find("ENTITIES");
    for (const double at : {0.2, 0.5, 0.8}) {
        const auto cut = section + static_cast<std::size_t>((generated.size() - section) * at);
        expectPiecesReadAsOne(generated.substr(0, cut), "cut at " + std::to_string(at));
        std::string damaged = generated;
        damaged.insert(generated.find("\n10\n", cut) + 1, "x1\n");
        expectPiecesReadAsOne(damaged, "bad group code at " + std::to_string(at));
        std::string ended = generated;
        ended.insert(generated.find("0\nLINE\n", cut), "0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n");
        expectPiecesReadAsOne(ended, "section ends at " + std::to_string(at));
    }
}

} // namespace
} // namespace vexilo::cadhost
