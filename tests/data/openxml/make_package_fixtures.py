#!/usr/bin/env python3
"""Writes the hand-built packages that pin single rules of the package reader.

Run from this folder: python3 make_package_fixtures.py. Each package is a minimal set of
parts written with zipfile (deflated), named after the rule it shows.
"""
import zipfile

NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
RNS = 'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
HEAD = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'


def workbook(names):
    sheets = "".join(f'<sheet name="{n}" sheetId="{i + 1}" r:id="rId{i + 1}"/>' for i, n in enumerate(names))
    return f'{HEAD}<workbook {NS} {RNS}><sheets>{sheets}</sheets></workbook>'


def rels(items):
    body = "".join(
        f'<Relationship Id="{i}" Type="{t}" Target="{g}"{m}/>' for i, t, g, m in items)
    return f'{HEAD}<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">{body}</Relationships>'


def sheet(rows):
    return f'{HEAD}<worksheet {NS} {RNS}><sheetData>{rows}</sheetData></worksheet>'


def write(name, parts):
    with zipfile.ZipFile(name, "w", zipfile.ZIP_DEFLATED) as z:
        for part, text in parts.items():
            z.writestr(part, text)


STYLES = (f'{HEAD}<styleSheet {NS}><fonts count="1"><font><sz val="11"/><color theme="1"/>'
          '<name val="Calibri"/><family val="2"/><scheme val="minor"/></font></fonts></styleSheet>')

# Sheets take their names from the workbook part in order and their contents from sheetN.xml
# by number, whatever the relationships say.
write("pkg_sheet_order.xlsx", {
    "xl/workbook.xml": workbook(["A", "B", "C"]),
    "xl/_rels/workbook.xml.rels": rels([(f"rId{i}", REL + "worksheet", f"worksheets/sheet{4 - i}.xml", "")
                                        for i in (1, 2, 3)]),
    **{f"xl/worksheets/sheet{n}.xml": sheet(f'<row r="1"><c r="A1"><v>{n}</v></c></row>') for n in (1, 2, 3)},
})

# The worksheet loop stops at the first missing part: only sheet A gets cells.
write("pkg_sheet2_missing.xlsx", {
    "xl/workbook.xml": workbook(["A", "B", "C"]),
    **{f"xl/worksheets/sheet{n}.xml": sheet(f'<row r="1"><c r="A1"><v>{n}</v></c></row>') for n in (1, 3)},
})

# Every cell type, with the writers' habits: inline strings, formulas without a cached value,
# str cells without formula, ISO dates, escaped control characters, entities, Cyrillic text.
CELLS = (
    '<row r="1">'
    '<c r="A1" t="s"><v>1</v></c>'
    '<c r="B1" t="str"><v>plain &amp; str</v></c>'
    '<c r="C1" t="inlineStr"><is><t>inline</t></is></c>'
    '<c r="D1" t="inlineStr"><is><r><t>ri</t></r><r><rPr><b/></rPr><t>ch</t></r></is></c>'
    '<c r="E1" t="b"><v>1</v></c>'
    '<c r="F1" t="e"><v>#DIV/0!</v></c>'
    '<c r="G1"><v>2.5</v></c>'
    '<c r="H1" t="d"><v>2023-01-15T12:00:00</v></c>'
    '<c r="I1"><f>1+1</f></c>'
    '<c r="J1" t="str"><f>"a"&amp;"b"</f><v>ab</v></c>'
    '<c r="K1" t="e"><f>1/0</f><v>#N/A</v></c>'
    '<c r="L1" s="4"/>'
    '</row>'
    '<row r="3"><c r="B3" s="4" t="s"><v>0</v></c><c><v>7</v></c></row>'
)
SST = (f'{HEAD}<sst {NS} count="3" uniqueCount="3">'
       '<si><t>Привет &amp; &#1055;</t></si>'
       '<si><t>line_x000D_break</t></si>'
       '<si><r><rPr><b/><sz val="13"/><color rgb="FFFF0000"/><rFont val="Verdana"/></rPr><t>bold</t></r>'
       '<r><t xml:space="preserve"> tail</t></r></si>'
       '</sst>')
write("pkg_cell_types.xlsx", {
    "xl/workbook.xml": workbook(["Лист &amp; 1"]),
    "xl/styles.xml": STYLES,
    "xl/sharedStrings.xml": SST,
    "xl/worksheets/sheet1.xml": sheet(CELLS),
})

# A writer that prefixes every element of its parts.
write("pkg_prefixed.xlsx", {
    "xl/workbook.xml": workbook(["P"]).replace("<workbook", "<x:workbook").replace("</workbook", "</x:workbook")
        .replace(NS, NS.replace("xmlns=", "xmlns:x=")).replace("<sheets>", "<x:sheets>")
        .replace("</sheets>", "</x:sheets>").replace("<sheet ", "<x:sheet "),
    "xl/worksheets/sheet1.xml": (f'{HEAD}<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
                                 '<x:sheetData><x:row r="2"><x:c r="B2"><x:v>42</x:v></x:c></x:row></x:sheetData>'
                                 '</x:worksheet>'),
})

# Relationship target modes: "External" is accepted, "external" is not.
for name, mode in (("pkg_target_mode_external.xlsx", "External"), ("pkg_target_mode_lowercase.xlsx", "external")):
    write(name, {
        "xl/workbook.xml": workbook(["S"]),
        "xl/_rels/workbook.xml.rels": rels([("rId1", REL + "worksheet", "worksheets/sheet1.xml", ""),
                                            ("rId2", REL + "externalLink", "x.xlsx", f' TargetMode="{mode}"'),
                                            ("rId3", "http://schemas.microsoft.com/office/2017/10/relationships/person",
                                             "persons/person.xml", "")]),
        "xl/worksheets/sheet1.xml": sheet('<row r="1"><c r="A1"><v>1</v></c></row>'),
    })

# A formula cell whose type is none of the known ones fails the read.
write("pkg_bad_formula_type.xlsx", {
    "xl/workbook.xml": workbook(["S"]),
    "xl/worksheets/sheet1.xml": sheet('<row r="1"><c r="A1" t="s"><f>1</f><v>0</v></c></row>'),
})

# Parts under other names than the usual ones, found through the package's relationships.
write("pkg_parts_elsewhere.xlsx", {
    "_rels/.rels": rels([("rId1", REL + "officeDocument", "/wb/book.xml", "")]),
    "wb/book.xml": workbook(["Elsewhere"]),
    "wb/_rels/book.xml.rels": rels([("rId1", REL + "worksheet", "sheets/first.xml", ""),
                                    ("rId2", REL + "sharedStrings", "../strings.xml", "")]),
    "strings.xml": f'{HEAD}<sst {NS}><si><t>  spaced  </t></si><si><t>x</t><r><t>ignored</t></r></si></sst>',
    "wb/sheets/first.xml": sheet('<row r="1"><c r="A1" t="s"><v>0</v></c>'
                                 '<c r="B1" t="inlineStr"><is><t>direct</t><r><t>run</t></r></is></c></row>'),
})

# A worksheet part whose name is not ASCII (a UTF-8 zip name), found through its relationship.
write("pkg_part_name_utf8.xlsx", {
    "xl/workbook.xml": workbook(["Лист"]),
    "xl/_rels/workbook.xml.rels": rels([("rId1", REL + "worksheet", "worksheets/лист1.xml", "")]),
    "xl/worksheets/лист1.xml": sheet('<row r="1"><c r="A1"><v>7</v></c></row>'),
})

# A file named like a package that is no zip archive at all.
with open("pkg_not_a_zip.xlsx", "w") as f:
    f.write("this is not a zip archive\n")

# The styles part whole: number formats, fonts, pattern and gradient fills, borders, style and
# cell formats with their references, cell styles, and the elements kept as text.
FULL_STYLES = (
    f'{HEAD}<styleSheet {NS}>'
    '<numFmts count="2"><numFmt numFmtId="164" formatCode="0.0&quot;кг&quot;"/>'
    '<numFmt numFmtId="14" formatCode="dd/mm/yy"/></numFmts>'
    '<fonts count="2"><font><sz val="11"/><name val="Calibri"/></font>'
    '<font><b/><sz val="14"/><color rgb="FFFF0000"/><name val="Arial"/></font></fonts>'
    '<fills count="4"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill>'
    '<fill><patternFill patternType="solid"><fgColor theme="4" tint="0.5"/><bgColor indexed="64"/></patternFill></fill>'
    '<fill><gradientFill degree="90" type="path" left="0.5"><stop position="0"><color rgb="FF0000FF"/></stop>'
    '<stop position="1"><color theme="1"/></stop></gradientFill></fill></fills>'
    '<borders count="2"><border/><border diagonalUp="1" outline="1"><left style="thin"><color indexed="10"/></left>'
    '<bottom style="slantDashDot"/><diagonal style="double"><color auto="1"/></diagonal></border></borders>'
    '<cellStyleXfs count="2"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/>'
    '<xf numFmtId="0" fontId="1" fillId="0" borderId="0"/></cellStyleXfs>'
    '<cellXfs count="3"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>'
    '<xf numFmtId="164" fontId="1" fillId="2" borderId="1" xfId="1" applyNumberFormat="1" applyFont="1" applyFill="1"'
    ' applyBorder="1" applyAlignment="1" applyProtection="1" quotePrefix="1">'
    '<alignment horizontal="centerContinuous" vertical="center" textRotation="135" wrapText="1" indent="2"'
    ' readingOrder="2"/><protection locked="0" hidden="1"/></xf>'
    '<xf numFmtId="14" fontId="0" fillId="3" borderId="0" xfId="7"><protection locked="1"/></xf></cellXfs>'
    '<cellStyles count="2"><cellStyle name="Normal" xfId="0" builtinId="0"/>'
    '<cellStyle name="Заголовок &amp; 1" xfId="1" customBuiltin="1" iLevel="2" hidden="1"/></cellStyles>'
    '<dxfs count="1"><dxf><font><b/></font></dxf></dxfs>'
    '<tableStyles count="0" defaultTableStyle="TableStyleMedium2"/>'
    '<colors><indexedColors><rgbColor rgb="FF000000"/></indexedColors></colors>'
    '</styleSheet>')

# The workbook part's names and calculation id, and a sheet's rows, columns and merged areas.
EXTRAS_WORKBOOK = (
    f'{HEAD}<workbook {NS} {RNS}><workbookPr date1904="0"/><sheets><sheet name="A" sheetId="1" r:id="rId1"/>'
    '<sheet name="B" sheetId="2" r:id="rId2"/></sheets><definedNames>'
    '<definedName name="Итог" comment="c &amp; d" description="desc" help="h" statusBar="sb" customMenu="cm"'
    ' shortcutKey="K" functionGroupId="3" function="1" vbProcedure="1" xlm="1" publishToServer="1"'
    ' workbookParameter="1">A!$A$1:$B$2</definedName>'
    '<definedName name="_xlnm.Print_Area" localSheetId="1" hidden="1">B!$A$1</definedName>'
    '</definedNames><calcPr calcId="191029"/></workbook>')
EXTRAS_SHEET = (
    f'{HEAD}<worksheet {NS} {RNS}><dimension ref="B2:C9"/>'
    '<cols><col min="2" max="3" width="20.5" customWidth="1" hidden="1" outlineLevel="1"/><col min="5" max="5"/>'
    '<col min="16380" max="16390" bestFit="1"/><col min="9" max="8" width="3"/></cols>'
    '<sheetData><row r="2" spans="2:3"><c r="B2" s="2"><v>1</v></c><c r="C2" s="1"><v>2</v></c></row>'
    '<row r="3" ht="15" customHeight="1" s="2" customFormat="1" hidden="1" outlineLevel="2" collapsed="1"'
    ' thickBot="1"><c r="B3"><v>3</v></c></row>'
    '<row><c r="B4"><v>4</v></c></row><row ht="1e999"/></sheetData>'
    '<mergeCells count="3"><mergeCell ref="B2:C3"/><mergeCell ref="E5"/><mergeCell ref="D9:C8"/></mergeCells>'
    # A control's anchor has its own "col" and "row" elements, which are no columns or rows.
    '<controls><control shapeId="1025" r:id="rId3" name="B"><controlPr><anchor>'
    '<from xmlns:xdr="http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing">'
    '<xdr:col>1</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>2</xdr:row><xdr:rowOff>0</xdr:rowOff></from>'
    '</anchor></controlPr></control></controls>'
    '</worksheet>')
write("pkg_styles_and_extras.xlsx", {
    "xl/workbook.xml": EXTRAS_WORKBOOK,
    "xl/styles.xml": FULL_STYLES,
    "xl/worksheets/sheet1.xml": EXTRAS_SHEET,
    "xl/worksheets/sheet2.xml": sheet(''),
})

# A fill with neither pattern nor gradient, and a cell format naming a fill the list lacks.
for name, styles in (
        ("pkg_unknown_fill_type.xlsx", f'{HEAD}<styleSheet {NS}><fills count="1"><fill/></fills></styleSheet>'),
        ("pkg_fill_id_outside.xlsx",
         f'{HEAD}<styleSheet {NS}><fonts count="1"><font/></fonts><fills count="1"><fill><patternFill/></fill></fills>'
         '<borders count="1"><border/></borders><cellXfs count="1"><xf fillId="5"/></cellXfs></styleSheet>')):
    write(name, {
        "xl/workbook.xml": workbook(["S"]),
        "xl/styles.xml": styles,
        "xl/worksheets/sheet1.xml": sheet('<row r="1"><c r="A1"><v>1</v></c></row>'),
    })

# A row below the last row a sheet can have.
write("pkg_row_out_of_range.xlsx", {
    "xl/workbook.xml": workbook(["S"]),
    "xl/worksheets/sheet1.xml": sheet('<row r="1048577" ht="20"/>'),
})

# Elements and relationships the model keeps without interpreting them: the workbook part's
# views and references, a worksheet's view, margins and hyperlinks, an external link.
KEPT_WORKBOOK = (
    f'{HEAD}<workbook {NS} {RNS}><fileVersion appName="xl"/><workbookPr date1904="0"/>'
    '<bookViews><workbookView activeTab="1"/></bookViews>'
    '<sheets><sheet name="A" sheetId="1" r:id="rId1"/><sheet name="B" sheetId="2" r:id="rId2"/></sheets>'
    '<externalReferences><externalReference r:id="rId4"/></externalReferences>'
    '<calcPr calcId="191029"/></workbook>')
KEPT_SHEET = (
    f'{HEAD}<worksheet {NS} {RNS}><dimension ref="A1:B1"/>'
    '<sheetViews><sheetView tabSelected="1" workbookViewId="0"/></sheetViews>'
    '<sheetData><row r="1"><c r="A1"><v>1</v></c><c r="B1"><v>2</v></c></row></sheetData>'
    '<hyperlinks><hyperlink ref="A1" r:id="rId1"/></hyperlinks>'
    '<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>'
    '</worksheet>')
write("pkg_kept_elements.xlsx", {
    "xl/workbook.xml": KEPT_WORKBOOK,
    "xl/_rels/workbook.xml.rels": rels([("rId1", REL + "worksheet", "worksheets/sheet1.xml", ""),
                                        ("rId2", REL + "worksheet", "worksheets/sheet2.xml", ""),
                                        ("rId3", REL + "theme", "theme/theme1.xml", ""),
                                        ("rId4", REL + "externalLink", "externalLinks/externalLink1.xml", ""),
                                        ("rId5", REL + "styles", "styles.xml", "")]),
    "xl/worksheets/sheet1.xml": KEPT_SHEET,
    "xl/worksheets/_rels/sheet1.xml.rels": rels([("rId1", REL + "hyperlink", "http://example.com/",
                                                  ' TargetMode="External"')]),
    "xl/worksheets/sheet2.xml": sheet('<row r="1"><c r="A1"><v>3</v></c></row>'),
})
