#!/usr/bin/env bash
# Rebuilds the BIFF fixtures of this folder from independent writers.
# Needs: libreoffice-calc-nogui + python3-uno, gnumeric (ssconvert), python3-xlwt (Debian),
# and SheetJS (`npm install xlsx` in a scratch folder given as SHEETJS_DIR, default /tmp/sheetjs).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"

/usr/bin/python3 make_fixtures_xlwt.py xlwt_biff8.xls

# A CSV text saved under an .xls name: no compound file, no BOF record.
printf 'Name;Value\r\nwidget;5\r\n' > text_file_named_xls.xls

profile=$(mktemp -d)
soffice --headless --norestore "-env:UserInstallation=file://$profile" \
  --accept="socket,host=localhost,port=2083;urp;" &
soffice_pid=$!
/usr/bin/python3 make_fixtures_uno.py "$here" || { kill $soffice_pid; exit 1; }
kill $soffice_pid; wait $soffice_pid 2>/dev/null || true
rm -rf "$profile"

# Gnumeric re-writes the LibreOffice workbook as BIFF7 (a "Book" stream, the BIFF5
# layout), BIFF8, and the dual form that holds both a "Book" and a "Workbook" stream.
# (This ssconvert has no separate BIFF5 exporter.)
ssconvert -T Gnumeric_Excel:excel_biff7 lo_excel97.xls gnumeric_biff7.xls
ssconvert -T Gnumeric_Excel:excel_biff8 lo_excel97.xls gnumeric_biff8.xls
ssconvert -T Gnumeric_Excel:excel_dsf lo_excel97.xls gnumeric_dual.xls

NODE_PATH=${SHEETJS_DIR:-/tmp/sheetjs}/node_modules node make_fixtures_sheetjs.js "$here"
ls -l "$here"/*.xls
