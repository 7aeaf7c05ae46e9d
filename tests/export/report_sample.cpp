// Writes a sample coordinate report: the one pictured in docs/ (render_report.sh), or with
// --entry-rules one whose texts test how a spreadsheet program shows number cells
// (check_libreoffice.py).
#include "export/xlsx_report_writer.h"

#include <iostream>
#include <string>

int main(int argc, char** argv) {
    const bool entryRules = argc == 3 && std::string(argv[1]) == "--entry-rules";
    if (argc != 2 && !entryRules) {
        std::cerr << "usage: export_report_sample [--entry-rules] OUT.xlsx\n";
        return 2;
    }
    vexilo::cad::CoordinateTable table;
    // A capture with row 4 deleted afterwards, a code that looks like a number and an empty
    // code.
    const vexilo::cad::CoordinateRow rows[] = {
        {"1", "K1", "3012345.679", "500123.457"},   {"2", "007", "3012351.2", "500130.05"},
        {"3", "K3", "3012360.018", "500142.7"},     {"5", "J5", "3012372.5", "500151.333"},
        {"6", "6", "3012384.125", "500160"},        {"7", "", "3012390.04", "500171.912"},
        {"8", "TS-8", "3012401.777", "500180.601"}, {"9", "K9", "3012415", "500192.25"},
    };
    // Every kind of text the entry rule takes or refuses; the table texts are printed, one
    // row a line, so that the checker can compare them with what the program shows.
    const vexilo::cad::CoordinateRow entryRows[] = {
        {"1", "007", "12.50", "0012"},
        {"2", "B", "1E-05", "1.5E+15"},
        {"3", "C", "1e5", "-2.25e-3"},
        {"4", "D", "123456789012", "123456789.012345"},
        {"5", "E", " 12", "12."},
        {"6", "F", "-0", "1,234"},
        {"7", "G", "3012345.67890123", "-0.25"},
        {"0008", "H", "1E+005", "00.5"},
        {"9", "", "", "0.000"},
    };
    if (entryRules) {
        for (const auto& row : entryRows) {
            table.appendRow(row);
            std::cout << row.number << '\t' << row.code << '\t' << row.x << '\t' << row.y << '\n';
        }
    } else {
        for (const auto& row : rows) {
            table.appendRow(row);
        }
    }
    const auto written = vexilo::report::writeReportWorkbook(table, argv[argc - 1]);
    if (!written) {
        std::cerr << written.error().message << "\n";
        return 1;
    }
    return 0;
}
