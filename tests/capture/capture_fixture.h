// The window, table, recorder and scripted CAD that every capture command test starts from.
#pragma once

#include "cad/fake/fake_cad.h"
#include "capture/capture_context.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexilo::capture {

using Log = std::vector<std::string>;
using Row = std::vector<std::string>;

class CaptureTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(cad.log->unscripted().empty())
            << "requests without a scripted answer, first: " << cad.log->unscripted().front();
        EXPECT_EQ(cad.utility->pendingAnswers(), 0U) << "scripted answers never asked for";
    }

    const Log& log() const { return cad.log->entries(); }
    const Log& prompts() const { return cad.log->prompts(); }

    Row row(int index) const {
        Row cells;
        for (int column = 0; column < cad::CoordinateTable::kColumnCount; ++column) {
            cells.push_back(table.cell(index, column));
        }
        return cells;
    }

    std::vector<Row> rows() const {
        std::vector<Row> result;
        for (int index = 1; index < table.rowCount(); ++index) {
            result.push_back(row(index));
        }
        return result;
    }

    /// The calls logged after the attach: everything from the first window call on.
    Log afterAttach() const {
        Log result;
        bool started = false;
        for (const std::string& entry : log()) {
            started = started || entry == "minimise" || entry.starts_with("GetEntity");
            if (started) {
                result.push_back(entry);
            }
        }
        return result;
    }

    cad::fake::FakeCad cad;
    cad::CadSession session{cad.registry};
    cad::CoordinateTable table;
    cad::PointRecorder recorder{session, table, cad.options};
    CaptureContext context{session, recorder, cad.options, cad.window};
};

} // namespace vexilo::capture
