// The recording steps: numeric options, user-system translation, codes and table rows.
#include "cad/point_recorder.h"

#include "cad/number_rules.h"

#include <cmath>
#include <utility>

namespace vexilo::cad {
namespace {

/// 16 bits of the leading number of a text, as one skip-and-continue step.
bool readInt16(std::string_view text, std::int16_t& target, ErrorState& errors) {
    const Expected<double, NumberError> number = leadingNumber(text);
    if (!number) {
        errors.record(codeOf(number.error()));
        return false;
    }
    const Expected<std::int16_t, NumberError> value = toInt16(number.value());
    if (!value) {
        errors.record(codeOf(value.error()));
        return false;
    }
    target = value.value();
    return true;
}

} // namespace

void PointRecorder::ReadNumericOptions(ErrorState& errors) {
    readInt16(m_options.decimalPlacesText(), m_decimalPlaces, errors);
    readInt16(m_options.scaleText(), m_scale, errors);
    if (m_scale == 0) {
        m_scale = 1;
    }
}

void PointRecorder::ReadDecimalPlaces(ErrorState& errors) {
    readInt16(m_options.decimalPlacesText(), m_decimalPlaces, errors);
}

void PointRecorder::ToUserSystem(const Point3& worldPoint, std::optional<Point3>& userPoint,
                                 ErrorState& errors) {
    errors.assign(userPoint, m_session.onUtility([&](Utility& utility) {
        return utility.translateCoordinates(worldPoint, kWorldSystem, kUserSystem, false,
                                            std::nullopt);
    }));
}

void PointRecorder::NextCode(std::string& pointCode, std::string_view prompt, ErrorState& errors) {
    if (m_options.codeIncrementSelected() && !pointCode.empty()) {
        const Expected<double, NumberError> code = fullTextNumber(pointCode);
        if (!code) {
            errors.record(codeOf(code.error()));
            return;
        }
        const Expected<double, NumberError> step = leadingNumber(m_options.incrementText());
        if (!step) {
            errors.record(codeOf(step.error()));
            return;
        }
        const double next = code.value() + step.value();
        if (!std::isfinite(next)) {
            errors.record(automation::kOverflowCode);
            return;
        }
        pointCode = numberToText(next);
        return;
    }
    errors.assign(pointCode, m_session.onUtility([&](Utility& utility) {
        return utility.getString(false, prompt);
    }));
}

RowOutcome PointRecorder::AppendPointRow(const Point3& worldPoint,
                                         const std::optional<Point3>& userPoint,
                                         const std::string& pointCode, ErrorState& errors) {
    if (StartRow() == RowOutcome::TableFull) {
        return RowOutcome::TableFull;
    }
    WriteCell(0, std::to_string(m_rowIndex), errors);
    WriteCell(1, pointCode, errors);
    const std::optional<Point3> source =
        m_options.userSystemSelected() ? userPoint : std::optional<Point3>(worldPoint);
    if (source) {
        WriteCoordinateCells((*source)[0], (*source)[1], errors);
    } else {
        WriteCoordinateCells(std::nullopt, std::nullopt, errors);
    }
    return RowOutcome::Added;
}

RowOutcome PointRecorder::StartRow() {
    m_rowIndex = m_table.rowCount();
    if (!m_table.setRowCount(m_rowIndex + 1)) {
        return RowOutcome::TableFull;
    }
    return RowOutcome::Added;
}

void PointRecorder::WriteCell(int column, std::string text, ErrorState& errors) {
    if (!m_table.setCell(m_rowIndex, column, std::move(text))) {
        errors.record(automation::kBadIndexCode);
    }
}

void PointRecorder::WriteCoordinateCells(const std::optional<double>& a,
                                         const std::optional<double>& b, ErrorState& errors) {
    const bool swap = m_options.swapSelected();
    const std::optional<double>& column2 = swap ? a : b;
    const std::optional<double>& column3 = swap ? b : a;
    for (const auto& [column, value] : {std::pair{2, &column2}, std::pair{3, &column3}}) {
        if (!value->has_value()) {
            errors.record(automation::kObjectNotSetCode);
            continue;
        }
        std::string text;
        if (errors.assign(text, FormatCoordinate(**value))) {
            WriteCell(column, std::move(text), errors);
        }
    }
}

CadResult<std::string> PointRecorder::FormatCoordinate(double value) const {
    const Expected<double, NumberError> rounded =
        roundToPlaces(static_cast<double>(m_scale) * value, m_decimalPlaces);
    if (!rounded) {
        return unexpected(codeOf(rounded.error()));
    }
    return numberToText(rounded.value());
}

} // namespace vexilo::cad
