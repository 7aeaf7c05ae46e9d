#!/usr/bin/env bash
# Renders the sample coordinate report as a person would see it printed: LibreOffice turns the
# workbook into a PDF, pdftoppm the first page into docs/report.png. A manual documentation
# step (needs scripts/install-deps.sh --docs), not a test.
# Usage: tests/export/render_report.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: render_report.sh BUILD_DIR}
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/tests/export/export_report_sample" "$work/report.xlsx"
# A private profile, so that a running LibreOffice of the user's is not disturbed.
soffice -env:UserInstallation="file://$work/profile" --headless --convert-to pdf \
    --outdir "$work" "$work/report.xlsx" >/dev/null
pdftoppm -png -r 110 -f 1 -l 1 -singlefile "$work/report.pdf" "$root/docs/report"
echo "wrote $root/docs/report.png"
