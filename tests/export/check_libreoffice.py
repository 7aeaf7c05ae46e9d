#!/usr/bin/python3
"""Opens a report in LibreOffice (headless) and checks what the program shows: every cell's
displayed text equals the table's text, and rows 2 and 65,536 take the report's row height.

Usage: check_libreoffice.py PATH/TO/export_report_sample
Exit status 77 (skipped) when LibreOffice is not installed.
"""
import csv
import os
import shutil
import subprocess
import sys
import tempfile

import openpyxl

ROW_HEIGHT = 0.8 / 0.035
# LibreOffice keeps row heights in whole pixels at 96 dpi (0.75 point each).
PIXEL = 0.75


def main():
    soffice = shutil.which("soffice")
    if soffice is None:
        print("LibreOffice (soffice) is not installed")
        return 77
    with tempfile.TemporaryDirectory() as work:
        report = os.path.join(work, "report.xlsx")
        out = subprocess.run([sys.argv[1], "--entry-rules", report], check=True,
                             capture_output=True, text=True).stdout
        table = [line.split("\t") for line in out.splitlines()]
        profile = "-env:UserInstallation=file://" + os.path.join(work, "profile")
        # Token 9 "true": cells are written as shown, with their number formats applied.
        subprocess.run([soffice, profile, "--headless", "--convert-to",
                        'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true',
                        "--outdir", work, report], check=True, capture_output=True)
        subprocess.run([soffice, profile, "--headless", "--convert-to", "xlsx", "--outdir",
                        os.path.join(work, "resaved"), report], check=True, capture_output=True)
        with open(os.path.join(work, "report.csv"), encoding="utf-8", newline="") as f:
            shown = list(csv.reader(f))
        ws = openpyxl.load_workbook(os.path.join(work, "resaved", "report.xlsx")).worksheets[0]

    faults = []
    if shown[0][0] != "坐 标 数 据 成 果 表" or shown[1] != ["序号", "编码", "坐标X", "坐标Y"]:
        faults.append(f"title or headings shown as {shown[:2]}")
    if shown[2:] != table:
        for expected, got in zip(table, shown[2:]):
            if expected != got:
                faults.append(f"table row {expected} shown as {got}")
        if len(shown) - 2 != len(table):
            faults.append(f"{len(shown) - 2} rows shown, {len(table)} in the table")

    def height(row):
        own = ws.row_dimensions[row].height
        return own if own is not None else ws.sheet_format.defaultRowHeight

    for row in (2, 3, len(table) + 2, 65536):
        if abs(height(row) - ROW_HEIGHT) > PIXEL:
            faults.append(f"row {row}: LibreOffice shows a height of {height(row)}")
    if abs(height(1) - ROW_HEIGHT) <= PIXEL / 2:
        faults.append(f"row 1: LibreOffice shows the data rows' height {height(1)}")
    for text in faults:
        print(text)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
