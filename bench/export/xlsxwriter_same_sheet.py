#!/usr/bin/python3
"""Writes the benchmark's report sheet with python3-xlsxwriter in constant-memory mode: the same
texts, formats and settings as report_bench, for comparison.

Usage: xlsxwriter_same_sheet.py ROWS OUT.xlsx
"""
import os
import sys
import time

import xlsxwriter


def thousandths(value):
    whole, fraction = divmod(value, 1000)
    fraction = f"{fraction:03d}".rstrip("0")
    return f"{whole}.{fraction}" if fraction else str(whole)


def status_kib(key):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return -1


def main():
    rows = int(sys.argv[1])
    path = sys.argv[2]
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")
    rss_before = status_kib("VmRSS")
    start = time.perf_counter()
    cpu_start = time.process_time()

    wb = xlsxwriter.Workbook(path, {"constant_memory": True})
    ws = wb.add_worksheet()
    centred = wb.add_format({"align": "center"})
    title = wb.add_format({"align": "center", "bold": True, "font_size": 20})
    ruled = wb.add_format({"align": "center", "border": 1})
    text = wb.add_format({"align": "center", "border": 1, "num_format": "@"})
    numbers = {}

    def number_format(t):
        places = len(t.partition(".")[2])
        if places not in numbers:
            fmt = {"align": "center", "border": 1}
            if places:
                fmt["num_format"] = "0." + "0" * places
            numbers[places] = wb.add_format(fmt)
        return numbers[places]

    ws.set_default_row(0.8 / 0.035)
    ws.set_column(0, 0, 8, centred)
    ws.set_column(1, 3, 15, centred)
    ws.center_horizontally()
    ws.set_row(0, 27)
    ws.merge_range(0, 0, 0, 3, "坐 标 数 据 成 果 表", title)
    for c, heading in enumerate(["序号", "编码", "坐标X", "坐标Y"]):
        ws.write_string(1, c, heading, ruled)
    for i in range(1, rows + 1):
        r = i + 1
        code = f"0{i}" if i % 7 == 0 else f"K{i}"
        x = thousandths(3012345000 + i * 7)
        y = thousandths(500123000 + i * 13)
        ws.write_number(r, 0, i, number_format("1"))
        ws.write_string(r, 1, code, text)
        ws.write_number(r, 2, float(x), number_format(x))
        ws.write_number(r, 3, float(y), number_format(y))
    wb.close()

    seconds = time.perf_counter() - start
    cpu = time.process_time() - cpu_start
    peak = status_kib("VmHWM")
    print(f"rows={rows} write_s={seconds:.3f} cpu_s={cpu:.3f} rss_before_kib={rss_before} "
          f"peak_kib={peak} write_extra_kib={peak - rss_before} file_bytes={os.path.getsize(path)}")


if __name__ == "__main__":
    main()
