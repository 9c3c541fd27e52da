#!/usr/bin/env bash
# Regenerates the package fixtures of this folder (see README.md for what each holds).
# Writers: xlsxwriter and openpyxl (Debian python3-xlsxwriter, python3-openpyxl, run with
# /usr/bin/python3), SheetJS (npm "xlsx" 0.18.5, installed into a temporary folder),
# LibreOffice headless and Gnumeric's ssconvert (both re-save the xlsxwriter workbook),
# and hand-written XML zipped with Python's zipfile for the rules no writer shows.
#   bash make_packages.sh
set -euo pipefail
cd "$(dirname "$0")"
here=$PWD
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# ---------------------------------------------------------------- xlsxwriter
/usr/bin/python3 - <<'PY'
import datetime, xlsxwriter
wb = xlsxwriter.Workbook("xlsxwriter_types.xlsx")
wb.set_properties({"created": datetime.datetime(2024, 1, 1)})
bold = wb.add_format({"bold": True, "font_color": "#FF0000"})
date = wb.add_format({"num_format": "yyyy-mm-dd"})
money = wb.add_format({"num_format": '#,##0.00 "руб."'})
amp = wb.add_format({"num_format": '0.0 "A&B"'})
ws = wb.add_worksheet("Data")
ws.write_row(0, 0, ["id", "text", "number", "bool", "date", "formula"], bold)
ws.write_number(1, 0, 1)
ws.write_string(1, 1, "plain")
ws.write_number(1, 2, 3.25)
ws.write_boolean(1, 3, True)
ws.write_datetime(1, 4, datetime.datetime(2024, 2, 29), date)
ws.write_formula(1, 5, "=C2*2", None, 6.5)
ws.write_number(2, 0, 2)
ws.write_string(2, 1, "Привет & <мир>")
ws.write_number(2, 2, -1234.5, money)
ws.write_boolean(2, 3, False)
ws.write_formula(2, 5, '=B3&"!"', None, "Привет & <мир>!")
ws.write_number(3, 0, 3)
ws.write_rich_string(3, 1, "rich ", bold, "red", " tail")
ws.write_number(3, 2, 0.1, amp)
ws.write_formula(3, 3, "=1/0", None, "#DIV/0!")
ws.write_formula(3, 5, "=C4>0", None, True)
ws.write_string(4, 1, "line1\nline2")
ws.merge_range("A6:C6", "merged", bold)
ws.set_row(6, 30)
ws.set_row(7, None, None, {"hidden": True})
ws.write(7, 0, "hidden row")
ws.set_column("B:B", 20)
ws.write_array_formula("E8:E8", "{=SUM(C2:C4)}", None, -1231.15)
wb.define_name("Total", "=Data!$C$2:$C$4")
ws2 = wb.add_worksheet("Лист2")
ws2.write(0, 0, "второй лист")
ws2.write(2, 3, 42)
wb.add_worksheet("Empty")
wb.close()
PY

# ---------------------------------------------------------------- openpyxl
/usr/bin/python3 - <<'PY'
import datetime, openpyxl
from openpyxl.workbook.defined_name import DefinedName
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Formulas"
ws["A1"] = 10
ws["A2"] = 32
ws["A3"] = "=SUM(A1:A2)"          # written without a cached value
ws["B1"] = "text"
ws["B2"] = "=A1&B1"
ws["C1"] = datetime.datetime(2024, 5, 17, 12, 30)
ws["C2"] = datetime.date(1900, 3, 1)
ws["D1"] = True
ws.column_dimensions["B"].width = 25
ws.row_dimensions[2].height = 15
wb.create_sheet("Second")["A1"] = "second"
wb.save("openpyxl_formulas.xlsx")

# iso_dates: dates as t="d" cells with ISO 8601 text
wb = openpyxl.Workbook()
wb.iso_dates = True
ws = wb.active
ws.title = "Dates"
ws["A1"] = datetime.datetime(2024, 5, 17, 12, 30)
ws["A2"] = datetime.date(2000, 2, 29)
ws["A3"] = datetime.time(6, 0)
wb.save("openpyxl_iso_dates.xlsx")
PY

# ---------------------------------------------------------------- SheetJS
(cd "$tmp" && npm init -y >/dev/null && npm install xlsx@0.18.5 --no-audit --no-fund >/dev/null 2>&1)
NODE_PATH="$tmp/node_modules" node - <<'JS'
const XLSX = require("xlsx");
const rows = [["name", "value", "flag"], ["альфа", 1.5, true], ["beta;\"quoted\"", -2, false],
              ["", null, null], ["after gap", 1e-7, true]];
for (const [file, opts] of [["sheetjs_default.xlsx", {}], ["sheetjs_sst.xlsx", {bookSST: true}]]) {
  const wb = XLSX.utils.book_new();
  const ws = XLSX.utils.aoa_to_sheet(rows);
  ws["D2"] = {t: "n", f: "B2*2", v: 3};
  ws["!ref"] = "A1:D5";
  XLSX.utils.book_append_sheet(wb, ws, "Sheet JS");
  XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet([["x"]]), "Two");
  XLSX.writeFile(wb, file, Object.assign({compression: true}, opts));
}
JS

# ---------------------------------------------------------------- LibreOffice and Gnumeric
cp xlsxwriter_types.xlsx "$tmp/source.xlsx"
soffice --headless -env:UserInstallation=file://$tmp/lo --convert-to xlsx:"Calc MS Excel 2007 XML" \
  --outdir "$tmp/lo-out" "$tmp/source.xlsx" >/dev/null 2>&1
cp "$tmp/lo-out/source.xlsx" libreoffice_resaved.xlsx
ssconvert --export-type=Gnumeric_Excel:xlsx2 "$tmp/source.xlsx" gnumeric_resaved.xlsx >/dev/null 2>&1

# ---------------------------------------------------------------- hand-written packages
/usr/bin/python3 - <<'PY'
import io, zipfile

NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" ' \
     'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"
STYLES = ('<?xml version="1.0" encoding="UTF-8"?><styleSheet %s><fonts count="1"><font><sz val="11"/>'
          '<name val="Calibri"/></font></fonts><fills count="2"><fill><patternFill patternType="none"/></fill>'
          '<fill><patternFill patternType="gray125"/></fill></fills><borders count="1"><border><left/><right/>'
          '<top/><bottom/><diagonal/></border></borders><cellStyleXfs count="1"><xf numFmtId="0" fontId="0" '
          'fillId="0" borderId="0"/></cellStyleXfs><cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" '
          'borderId="0" xfId="0"/></cellXfs><cellStyles count="1"><cellStyle name="Normal" xfId="0" '
          'builtinId="0"/></cellStyles></styleSheet>') % NS

def content_types(sheets, shared=True):
    parts = "".join('<Override PartName="/xl/worksheets/sheet%d.xml" ContentType="application/'
                    'vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>' % n for n in sheets)
    sst = ('<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-'
           'officedocument.spreadsheetml.sharedStrings+xml"/>') if shared else ""
    return ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/'
            '2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.'
            'relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName='
            '"/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.'
            'sheet.main+xml"/><Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-'
            'officedocument.spreadsheetml.styles+xml"/>' + parts + sst + '</Types>')

ROOT_RELS = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%s"><Relationship Id="rId1" '
             'Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>') % (PKG, REL)

def workbook(names):
    sheets = "".join('<sheet name="%s" sheetId="%d" r:id="rId%d"/>' % (n, i + 1, i + 1) for i, n in enumerate(names))
    return '<?xml version="1.0" encoding="UTF-8"?><workbook %s><sheets>%s</sheets></workbook>' % (NS, sheets)

def workbook_rels(targets, extra=""):
    rels = "".join('<Relationship Id="rId%d" Type="%s/worksheet" Target="%s"/>' % (i + 1, REL, t)
                   for i, t in enumerate(targets))
    n = len(targets)
    rels += '<Relationship Id="rId%d" Type="%s/styles" Target="styles.xml"/>' % (n + 1, REL)
    rels += '<Relationship Id="rId%d" Type="%s/sharedStrings" Target="sharedStrings.xml"/>' % (n + 2, REL)
    return '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%s">%s%s</Relationships>' % (PKG, rels, extra)

def sheet(rows):
    return '<?xml version="1.0" encoding="UTF-8"?><worksheet %s><sheetData>%s</sheetData></worksheet>' % (NS, rows)

def sst(items):
    return ('<?xml version="1.0" encoding="UTF-8"?><sst %s count="%d" uniqueCount="%d">%s</sst>'
            % (NS, len(items), len(items), "".join(items)))

def package(name, parts, sheets_present, stream=False):
    target = io.BytesIO()
    if stream:  # an unseekable sink makes zipfile defer sizes to data descriptors
        class Sink(io.RawIOBase):
            def writable(self): return True
            def write(self, b): target.write(b); return len(b)
        sink = Sink()
    else:
        sink = target
    with zipfile.ZipFile(sink, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", content_types(sheets_present, "xl/sharedStrings.xml" in parts))
        z.writestr("_rels/.rels", ROOT_RELS)
        for part, text in parts.items():
            z.writestr(part, text)
    open(name, "wb").write(target.getvalue())

# Three sheet elements A, B, C; only sheet1.xml and sheet3.xml exist.
package("missing_sheet2.xlsx", {
    "xl/workbook.xml": workbook(["A", "B", "C"]),
    "xl/_rels/workbook.xml.rels": workbook_rels(["worksheets/sheet1.xml", "worksheets/sheet2.xml", "worksheets/sheet3.xml"]),
    "xl/styles.xml": STYLES,
    "xl/worksheets/sheet1.xml": sheet('<row r="1"><c r="A1"><v>1</v></c></row>'),
    "xl/worksheets/sheet3.xml": sheet('<row r="1"><c r="A1"><v>3</v></c></row>'),
}, [1, 3])

# Relationships map the sheets crosswise; parts are still loaded by their number.
package("crossed_relationships.xlsx", {
    "xl/workbook.xml": workbook(["A", "B", "C"]),
    "xl/_rels/workbook.xml.rels": workbook_rels(["worksheets/sheet3.xml", "worksheets/sheet1.xml", "worksheets/sheet2.xml"]),
    "xl/styles.xml": STYLES,
    "xl/worksheets/sheet1.xml": sheet('<row r="1"><c r="A1" t="inlineStr"><is><t>part 1</t></is></c></row>'),
    "xl/worksheets/sheet2.xml": sheet('<row r="1"><c r="A1" t="inlineStr"><is><t>part 2</t></is></c></row>'),
    "xl/worksheets/sheet3.xml": sheet('<row r="1"><c r="A1" t="inlineStr"><is><t>part 3</t></is></c></row>'),
}, [1, 2, 3])

# A rich-text run whose font occurs nowhere in the styles part.
package("rich_text_font_missing.xlsx", {
    "xl/workbook.xml": workbook(["Sheet1"]),
    "xl/_rels/workbook.xml.rels": workbook_rels(["worksheets/sheet1.xml"]),
    "xl/styles.xml": STYLES,
    "xl/sharedStrings.xml": sst(['<si><r><rPr><b/><sz val="31"/><rFont val="No Such Font"/></rPr><t>bold</t></r>'
                                 '<r><t xml:space="preserve"> plain</t></r></si>']),
    "xl/worksheets/sheet1.xml": sheet('<row r="1"><c r="A1" t="s"><v>0</v></c></row>'),
}, [1])

# TargetMode "External" is accepted; "external" (wrong case) is not.
for mode, name in (("External", "target_mode_external.xlsx"), ("external", "target_mode_lowercase.xlsx")):
    package(name, {
        "xl/workbook.xml": workbook(["Sheet1"]),
        "xl/_rels/workbook.xml.rels": workbook_rels(["worksheets/sheet1.xml"]),
        "xl/styles.xml": STYLES,
        "xl/worksheets/sheet1.xml": sheet('<row r="1"><c r="A1"><v>1</v></c></row>'),
        "xl/worksheets/_rels/sheet1.xml.rels":
            '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%s"><Relationship Id="rId1" '
            'Type="%s/hyperlink" Target="https://example.org/" TargetMode="%s"/></Relationships>' % (PKG, REL, mode),
    }, [1])

# Cell forms that writers produce and a reader must not lose: inline strings (plain and rich),
# a formula without a cached value, t="str" without a formula, t="d", _xHHHH_ escapes.
package("cell_forms.xlsx", {
    "xl/workbook.xml": workbook(["Forms"]),
    "xl/_rels/workbook.xml.rels": workbook_rels(["worksheets/sheet1.xml"]),
    "xl/styles.xml": STYLES,
    "xl/sharedStrings.xml": sst(['<si><t>cr_x000D_lf_x000A_end</t></si>', '<si><t>under_x005F_x0041_score</t></si>']),
    "xl/worksheets/sheet1.xml": sheet(
        '<row r="1"><c r="A1" t="inlineStr"><is><t>inline</t></is></c>'
        '<c r="B1" t="inlineStr"><is><r><t>rich </t></r><r><rPr><b/></rPr><t>inline</t></r></is></c></row>'
        '<row r="2"><c r="A2"><f>1+1</f></c><c r="B2" t="str"><v>text in v</v></c></row>'
        '<row r="3"><c r="A3" t="d"><v>2024-05-17T12:30:00</v></c><c r="B3" t="d"><v>1900-03-01</v></c></row>'
        '<row r="4"><c r="A4" t="s"><v>0</v></c><c r="B4" t="s"><v>1</v></c></row>'),
}, [1])

# Every element carries the namespace prefix "x" (as some .NET writers do).
PNS = ('xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
       'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"')
package("prefixed_elements.xlsx", {
    "xl/workbook.xml": '<?xml version="1.0" encoding="UTF-8"?><x:workbook %s><x:sheets><x:sheet name="Prefixed" '
                       'sheetId="1" r:id="rId1"/></x:sheets></x:workbook>' % PNS,
    "xl/_rels/workbook.xml.rels": workbook_rels(["worksheets/sheet1.xml"]),
    "xl/styles.xml": STYLES.replace("<", "<x:").replace("<x:/", "</x:").replace("<x:?xml", "<?xml").replace(NS, PNS),
    "xl/sharedStrings.xml": '<?xml version="1.0" encoding="UTF-8"?><x:sst %s count="1" uniqueCount="1"><x:si>'
                            '<x:t>shared</x:t></x:si></x:sst>' % PNS,
    "xl/worksheets/sheet1.xml": '<?xml version="1.0" encoding="UTF-8"?><x:worksheet %s><x:sheetData><x:row r="1">'
                                '<x:c r="A1" t="s"><x:v>0</x:v></x:c><x:c r="B1"><x:v>2.5</x:v></x:c></x:row>'
                                '</x:sheetData></x:worksheet>' % PNS,
}, [1])

# A package whose entries defer their sizes to data descriptors (streamed writer).
src = zipfile.ZipFile("xlsxwriter_types.xlsx")
target = io.BytesIO()
class Sink(io.RawIOBase):
    def writable(self): return True
    def write(self, b): target.write(b); return len(b)
with zipfile.ZipFile(Sink(), "w", zipfile.ZIP_DEFLATED) as z:
    for info in src.infolist():
        z.writestr(info.filename, src.read(info.filename))
open("data_descriptors.xlsx", "wb").write(target.getvalue())
PY
ls -l *.xlsx
