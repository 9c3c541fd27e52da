#!/usr/bin/env bash
# Writes every_kind.xls and every_kind.xlsx, one sheet with a cell of every kind the
# model holds, from the same Gnumeric workbook, so that both load paths can be checked
# against one table of cell texts. Needs gnumeric (ssconvert), which also computes the
# cached formula results.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/every_kind.gnumeric" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<gnm:Workbook xmlns:gnm="http://www.gnumeric.org/v10.dtd">
  <gnm:SheetNameIndex><gnm:SheetName>Kinds</gnm:SheetName></gnm:SheetNameIndex>
  <gnm:Sheets>
    <gnm:Sheet>
      <gnm:Name>Kinds</gnm:Name>
      <gnm:MaxCol>4</gnm:MaxCol>
      <gnm:MaxRow>4</gnm:MaxRow>
      <gnm:Styles>
        <gnm:StyleRegion startCol="0" startRow="4" endCol="0" endRow="4">
          <gnm:Style HAlign="1" VAlign="2" WrapText="0" ShrinkToFit="0" Rotation="0" Shade="1" Indent="0" Locked="1" Hidden="0" Fore="0:0:0" Back="FFFF:0:0" PatternColor="0:0:0" Format="General"/>
        </gnm:StyleRegion>
      </gnm:Styles>
      <gnm:Cells>
        <gnm:Cell Row="0" Col="0" ValueType="60">текст</gnm:Cell>
        <gnm:Cell Row="0" Col="1" ValueType="40">-1234.5</gnm:Cell>
        <gnm:Cell Row="0" Col="2" ValueType="20">TRUE</gnm:Cell>
        <gnm:Cell Row="0" Col="3" ValueType="50">#DIV/0!</gnm:Cell>
        <gnm:Cell Row="0" Col="4" ValueType="50">#N/A</gnm:Cell>
        <gnm:Cell Row="1" Col="0">=B1*2</gnm:Cell>
        <gnm:Cell Row="1" Col="1">="ab"&amp;"c"</gnm:Cell>
        <gnm:Cell Row="1" Col="2">=B1&lt;0</gnm:Cell>
        <gnm:Cell Row="1" Col="3">=1/0</gnm:Cell>
        <gnm:Cell Row="1" Col="4">=0.1+0.2</gnm:Cell>
        <gnm:Cell Row="2" Col="0" Rows="2" Cols="1">=TRANSPOSE({1.5,2})</gnm:Cell>
        <gnm:Cell Row="2" Col="1" ValueType="40">1E+20</gnm:Cell>
        <gnm:Cell Row="2" Col="2" ValueType="40">0.00001</gnm:Cell>
        <gnm:Cell Row="2" Col="3" ValueType="60">FALSE text</gnm:Cell>
        <gnm:Cell Row="2" Col="4" ValueType="20">FALSE</gnm:Cell>
      </gnm:Cells>
    </gnm:Sheet>
  </gnm:Sheets>
</gnm:Workbook>
XML
ssconvert -T Gnumeric_Excel:excel_biff8 "$work/every_kind.gnumeric" "$here/every_kind.xls"
ssconvert -T Gnumeric_Excel:xlsx2 "$work/every_kind.gnumeric" "$here/every_kind.xlsx"
ls -l "$here"/every_kind.*
