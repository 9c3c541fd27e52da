#!/usr/bin/env bash
# Regenerates the zip reader's fixtures from independent writers:
# Python's zipfile (seekable and streamed), the Info-ZIP `zip` tool (streamed to
# stdout), xlsxwriter and LibreOffice. Run from this folder:
#   bash make_fixtures.sh
# Needs /usr/bin/python3 with python3-xlsxwriter, zip, and libreoffice.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

/usr/bin/python3 - <<'PY'
import io, zipfile

text = "".join('<row r="%d"><c r="A%d"><v>%d</v></c></row>' % (i, i, i * 7) for i in range(1, 400))
xml = '<?xml version="1.0"?><worksheet><sheetData>' + text + '</sheetData></worksheet>'

def fill(z):
    z.writestr(zipfile.ZipInfo("xl/workbook.xml", (2024, 5, 17, 12, 30, 10)), xml,
               compress_type=zipfile.ZIP_DEFLATED)
    z.writestr("docProps/stored.txt", "stored bytes, not compressed\n", compress_type=zipfile.ZIP_STORED)
    z.writestr("empty_stored.txt", b"", compress_type=zipfile.ZIP_STORED)
    z.writestr("empty_deflated.txt", b"", compress_type=zipfile.ZIP_DEFLATED)
    z.writestr("folder/", b"")
    z.writestr("xl/max.xml", xml, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    z.writestr("xl/fast.xml", xml, compress_type=zipfile.ZIP_DEFLATED, compresslevel=1)

# Seekable: sizes in the local headers, with an archive comment.
with zipfile.ZipFile("python_zipfile.zip", "w") as z:
    fill(z)
    z.comment = b"first line\r\nsecond line"

# Not seekable: zipfile defers CRC and sizes to data descriptors (flag bit 3).
class Unseekable(io.RawIOBase):
    def __init__(self): self.buf = bytearray()
    def writable(self): return True
    def write(self, b): self.buf += b; return len(b)
sink = Unseekable()
with zipfile.ZipFile(sink, "w") as z:
    fill(z)
open("python_descriptors.zip", "wb").write(bytes(sink.buf))
PY

# Info-ZIP zip writing to a pipe also uses data descriptors.
mkdir -p "$tmp/src/xl"
/usr/bin/python3 -c "
import sys
open(sys.argv[1], 'w').write(''.join('<c r=\"B%d\"><v>%d.5</v></c>' % (i, i) for i in range(3000)))
" "$tmp/src/xl/sheet.xml"
printf 'tiny\n' > "$tmp/src/tiny.txt"
(cd "$tmp/src" && zip -q -X -D - xl/sheet.xml tiny.txt) | cat > infozip_stream.zip
(cd "$tmp/src" && zip -q -X -D -z info.zip xl/sheet.xml tiny.txt <<<"zip tool comment" && cp info.zip "$OLDPWD/infozip_comment.zip")

# Spreadsheet packages.
/usr/bin/python3 - <<'PY'
import xlsxwriter
wb = xlsxwriter.Workbook("xlsxwriter.xlsx")
ws = wb.add_worksheet("Лист1")
for r in range(50):
    ws.write_row(r, 0, [r, "text %d" % r, r * 0.25])
wb.close()
PY
printf 'a;b;c\n1;2;3\nпривет;4.5;x\n' > "$tmp/lo.csv"
soffice --headless --infilter="CSV:59,34,76,1" --convert-to xlsx --outdir "$tmp" "$tmp/lo.csv" >/dev/null 2>&1
cp "$tmp/lo.xlsx" libreoffice.xlsx
ls -l *.zip *.xlsx
