#!/usr/bin/python3
"""Reads a coordinate report workbook back with openpyxl and checks every item of its layout
against the table it was made from.

Usage: check_report.py REPORT.xlsx EXPECTED.json
       check_report.py SHEET.json EXPECTED.json

SHEET.json is a sheet as the stand-in spreadsheet of the COM tests writes it
(tests/com/stand_in_spreadsheet.cpp); it is turned into an openpyxl worksheet and checked the
same way.

EXPECTED.json: {"rows": [[number, code, x, y], ...], "numbers": [[bool, bool, bool, bool], ...],
"decimal": "."} holds the table's data rows as texts, per cell whether the cell must be a number
cell, and the decimal separator the table's numbers were written with (optional, ".").
Exit status 0 when the workbook is right; otherwise every fault found is printed.
"""
import json
import math
import re
import sys

import openpyxl
from openpyxl.styles import Alignment, Border, Font, Side
from openpyxl.utils import get_column_letter

TITLE = "坐 标 数 据 成 果 表"
HEADINGS = ["序号", "编码", "坐标X", "坐标Y"]
WIDTHS = {1: 8, 2: 15, 3: 15, 4: 15}
ROW_HEIGHT = 0.8 / 0.035
# libxlsxwriter writes doubles with 16 significant digits; Excel and LibreOffice round row
# heights to whole pixels anyway.
HEIGHT_TOLERANCE = 1e-9
FORMATTED_ROWS_END = 65536
# Width in pixels of the digits of the default font (Calibri 11), by which Excel stores widths.
DIGIT_PIXELS = 7

faults = []


def fault(text):
    faults.append(text)


def characters(stored_width):
    """A column width as stored in the file, back in Excel's character units."""
    pixels = int(stored_width * DIGIT_PIXELS + 0.5)
    return (pixels - 5) / DIGIT_PIXELS


def column_dimension(ws, column):
    for dim in ws.column_dimensions.values():
        if dim.min is not None and dim.min <= column <= (dim.max or dim.min):
            return dim
    return None


def row_height(ws, row):
    """The height a spreadsheet shows for a row: its own, else the sheet's default."""
    if row in ws.row_dimensions and ws.row_dimensions[row].height is not None:
        return ws.row_dimensions[row].height
    if ws.sheet_format.customHeight:
        return ws.sheet_format.defaultRowHeight
    return 15.0


def display(value, code):
    """The text a number cell shows under the number formats a report uses."""
    if code == "General":
        if value == int(value):
            text = str(int(value))
            return text if len(text.lstrip("-")) <= 11 else None
        return format(value, ".15g")
    fixed = re.fullmatch(r"(0+)(?:\.(0+))?", code)
    if fixed:
        places = len(fixed.group(2) or "")
        text = f"{abs(value):.{places}f}"
        whole, _, fraction = text.partition(".")
        text = whole.rjust(len(fixed.group(1)), "0") + ("." + fraction if places else "")
        return ("-" if value < 0 else "") + text
    scientific = re.fullmatch(r"0(?:\.(0+))?([Ee])([+-])(0+)", code)
    if scientific:
        places = len(scientific.group(1) or "")
        mantissa, _, exponent = f"{abs(value):.{places}e}".partition("e")
        power = int(exponent)
        sign = "-" if power < 0 else ("+" if scientific.group(3) == "+" else "")
        digits = str(abs(power)).rjust(len(scientific.group(4)), "0")
        return ("-" if value < 0 else "") + mantissa + scientific.group(2) + sign + digits
    return None


def edges(cell):
    b = cell.border
    return [side.style if side is not None else None for side in (b.left, b.right, b.top, b.bottom)]


def check_ruled(cell):
    if edges(cell) != ["thin"] * 4:
        fault(f"{cell.coordinate}: edges {edges(cell)}, expected thin on all four")


def check_unruled(cell):
    if any(edges(cell)):
        fault(f"{cell.coordinate}: edges {edges(cell)}, expected none")


def check_centred(cell):
    if cell.alignment.horizontal != "center":
        fault(f"{cell.coordinate}: horizontal alignment {cell.alignment.horizontal!r}")


def check_data_cell(cell, text, number, column, decimal):
    if column == 2:
        if cell.number_format != "@":
            fault(f"{cell.coordinate}: number format {cell.number_format!r}, expected '@'")
    if text == "":
        if cell.value is not None:
            fault(f"{cell.coordinate}: {cell.value!r}, expected an empty cell")
        return
    if number:
        if cell.data_type != "n" or isinstance(cell.value, bool):
            fault(f"{cell.coordinate}: {cell.value!r} is not a number cell (text {text!r})")
            return
        if not math.isclose(cell.value, float(text.replace(decimal, ".")), rel_tol=1e-15,
                            abs_tol=0.0):
            fault(f"{cell.coordinate}: value {cell.value!r}, expected {text}")
        # A spreadsheet in the table's locale shows that locale's separator.
        shown = display(cell.value, cell.number_format).replace(".", decimal)
        if shown != text:
            fault(f"{cell.coordinate}: shows {shown!r} under {cell.number_format!r}, "
                  f"the table shows {text!r}")
    else:
        if cell.data_type != "s" or cell.value != text:
            fault(f"{cell.coordinate}: {cell.value!r} ({cell.data_type}), expected text {text!r}")


def sheet_from_json(path):
    """The stand-in spreadsheet's sheet as an openpyxl worksheet: values with their types,
    number formats, fonts, edges and alignment per cell, merged ranges, column widths (stored
    as Excel stores them, with the 5 pixels of padding) and the alignment their empty cells
    share, row heights, and the page setup's horizontal centring."""
    with open(path, encoding="utf-8") as f:
        sheet = json.load(f)
    if not sheet.get("visible"):
        fault("the application was not made visible")
    ws = openpyxl.Workbook().active
    for row, column, cell in sheet["cells"]:
        target = ws.cell(row, column)
        if "v" in cell:
            target.value = cell["v"]
            target.data_type = "n" if cell["t"] == "n" else "s"
        if "fmt" in cell:
            target.number_format = cell["fmt"]
        if "b" in cell or "sz" in cell:
            target.font = Font(b=cell.get("b", False), sz=cell.get("sz", 11))
        if "edges" in cell:
            left, right, top, bottom = (Side(style=style) for style in cell["edges"])
            target.border = Border(left=left, right=right, top=top, bottom=bottom)
        if "h" in cell:
            target.alignment = Alignment(horizontal=cell["h"])
    for r1, c1, r2, c2 in sheet["merged"]:
        ws.merge_cells(start_row=r1, start_column=c1, end_row=r2, end_column=c2)
    for column, width, horizontal in sheet["columns"]:
        dim = ws.column_dimensions[get_column_letter(column)]
        dim.min = dim.max = column
        dim.width = width + 5 / DIGIT_PIXELS
        if horizontal is not None:
            dim.alignment = Alignment(horizontal=horizontal)
    for first, last, height in sheet["rows"]:
        for row in range(first, last + 1):
            ws.row_dimensions[row].height = height
    ws.print_options.horizontalCentered = sheet["centerHorizontally"]
    if sheet["printTitleRows"]:
        ws.print_title_rows = sheet["printTitleRows"]
    ws.oddFooter.center.text = sheet["centerFooter"] or None
    return ws


def check(path, expected):
    rows = expected["rows"]
    numbers = expected["numbers"]
    decimal = expected.get("decimal", ".")
    last = len(rows) + 2
    if path.endswith(".json"):
        ws = sheet_from_json(path)
    else:
        ws = openpyxl.load_workbook(path).worksheets[0]

    a1 = ws["A1"]
    if a1.value != TITLE:
        fault(f"A1: {a1.value!r}, expected {TITLE!r}")
    if [str(r) for r in ws.merged_cells.ranges] != ["A1:D1"]:
        fault(f"merged ranges {[str(r) for r in ws.merged_cells.ranges]}, expected ['A1:D1']")
    if not a1.font.b:
        fault("A1: not bold")
    if a1.font.sz != 20:
        fault(f"A1: font size {a1.font.sz}, expected 20")
    check_centred(a1)
    for column in range(1, 5):
        check_unruled(ws.cell(1, column))

    for column, width in WIDTHS.items():
        dim = column_dimension(ws, column)
        if dim is None or dim.width is None or abs(characters(dim.width) - width) > 1e-9:
            fault(f"column {column}: width {dim.width if dim else None}, expected {width}")
        elif dim.alignment.horizontal != "center":
            fault(f"column {column}: empty cells not centred")
    if column_dimension(ws, 5) is not None:
        fault("column E is formatted")

    title_height = row_height(ws, 1)
    if abs(title_height - ROW_HEIGHT) < 0.01 or title_height < 1.2 * 20:
        fault(f"row 1: height {title_height}, expected one that fits a 20-point title")
    for row in sorted({2, 3, last, min(last + 1, FORMATTED_ROWS_END), FORMATTED_ROWS_END}):
        if abs(row_height(ws, row) - ROW_HEIGHT) > HEIGHT_TOLERANCE:
            fault(f"row {row}: height {row_height(ws, row)}, expected {ROW_HEIGHT}")

    if not ws.print_options.horizontalCentered:
        fault("the page is not centred horizontally")
    if (ws.print_title_rows or "").replace("$", "") != "1:2":
        fault(f"print titles {ws.print_title_rows!r}, expected rows 1 to 2 on every page")
    if ws.oddFooter.center.text != "第 &P 页 共 &N 页":
        fault(f"footer {ws.oddFooter.center.text!r}, expected the page of the pages, centred")

    for column, heading in enumerate(HEADINGS, start=1):
        cell = ws.cell(2, column)
        if cell.value != heading:
            fault(f"{cell.coordinate}: {cell.value!r}, expected {heading!r}")
        check_ruled(cell)
        check_centred(cell)

    for index, (texts, kinds) in enumerate(zip(rows, numbers)):
        row = index + 3
        for column in range(1, 5):
            cell = ws.cell(row, column)
            check_ruled(cell)
            check_centred(cell)
            check_data_cell(cell, texts[column - 1], kinds[column - 1], column, decimal)
        if len(faults) > 50:
            break

    if ws.max_row != last:
        fault(f"the sheet ends on row {ws.max_row}, expected {last}")
    for column in range(1, 5):
        cell = ws.cell(last + 1, column)
        check_unruled(cell)
        if cell.value is not None:
            fault(f"{cell.coordinate}: {cell.value!r} below the report")


def main():
    with open(sys.argv[2], encoding="utf-8") as f:
        expected = json.load(f)
    check(sys.argv[1], expected)
    for text in faults:
        print(text)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
