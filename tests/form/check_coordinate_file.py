#!/usr/bin/python3
"""Reads a coordinate file back with Python's csv module under its stated encoding and compares
it with the expected records.

Usage: check_coordinate_file.py FILE ENCODING EXPECTED.json

ENCODING: gbk, utf-8 (no byte order mark allowed) or utf-8-sig (the mark required).
EXPECTED.json: a list of records, each a list of fields; a field that is a number is compared
as a number (the file's text must read as exactly that double), a string exactly.
Exit status 0 when the file holds exactly the records; otherwise the faults are printed.
"""
import csv
import json
import sys


def main():
    path, encoding, expected_path = sys.argv[1:4]
    with open(expected_path, encoding="utf-8") as f:
        expected = json.load(f)
    raw = open(path, "rb").read()
    faults = []
    has_mark = raw.startswith(b"\xef\xbb\xbf")
    if encoding == "utf-8-sig" and not has_mark:
        faults.append("no UTF-8 byte order mark")
    if encoding != "utf-8-sig" and has_mark:
        faults.append("an unexpected byte order mark")
    if b"\r\n" not in raw or raw.replace(b"\r\n", b"").count(b"\n"):
        faults.append("lines do not end in CR LF")
    with open(path, encoding=encoding, newline="") as f:
        records = list(csv.reader(f))
    if len(records) != len(expected):
        faults.append(f"{len(records)} records, expected {len(expected)}")
    for number, (got, want) in enumerate(zip(records, expected), start=1):
        if len(got) != len(want):
            faults.append(f"record {number}: {got!r}, expected {want!r}")
            continue
        for field, (text, value) in enumerate(zip(got, want), start=1):
            if isinstance(value, (int, float)):
                try:
                    same = float(text) == float(value)
                except ValueError:
                    same = False
            else:
                same = text == value
            if not same:
                faults.append(f"record {number} field {field}: {text!r}, expected {value!r}")
    if faults:
        print("\n".join(faults))
    return 1 if faults else 0


sys.exit(main())
