#!/usr/bin/python3
"""Runs the report writer and python3-xlsxwriter on the same sheet, 32,765 and 1,000,000 rows,
each in its own process, and prints time and memory side by side.

Usage: run_bench.py PATH/TO/export_report_bench [OUTPUT_FOLDER] [ROWS...]
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def run(command):
    out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    return dict(item.split("=") for item in out.split())


def main():
    bench = sys.argv[1]
    folder = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="vexilo-bench-")
    counts = [int(n) for n in sys.argv[3:]] or [32765, 1000000]
    print(f"{'rows':>9} {'writer':<18} {'write s':>8} {'cpu s':>8} {'peak MiB':>9} "
          f"{'+write MiB':>10} {'file MiB':>9}")
    for rows in counts:
        ours = run([bench, str(rows), os.path.join(folder, f"vexilo-{rows}.xlsx")])
        theirs = run(["/usr/bin/python3", os.path.join(HERE, "xlsxwriter_same_sheet.py"),
                      str(rows), os.path.join(folder, f"python-{rows}.xlsx")])
        for name, r in (("libxlsxwriter", ours), ("python3-xlsxwriter", theirs)):
            print(f"{rows:>9} {name:<18} {float(r['write_s']):>8.3f} {float(r['cpu_s']):>8.3f} "
                  f"{int(r['peak_kib']) / 1024:>9.1f} {int(r['write_extra_kib']) / 1024:>10.1f} "
                  f"{int(r['file_bytes']) / 2**20:>9.1f}")
        print(f"{'':>9} (table build for vexilo: {float(ours['build_s']):.3f} s, "
              f"resident before writing {int(ours['rss_before_kib']) / 1024:.1f} MiB)")


if __name__ == "__main__":
    main()
