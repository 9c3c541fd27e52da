#!/usr/bin/env bash
# Makes examples/sample.xls with LibreOffice (an independent writer): a workbook
# of three sheets, of which the first and the third hold data and the second is
# empty, so a conversion of every significant sheet writes two CSV files.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/sample.fods" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
  xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
  xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
  office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:body>
  <office:spreadsheet>
   <table:table table:name="Товары">
    <table:table-row>
     <table:table-cell office:value-type="string"><text:p>Товар</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>Количество</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>Цена</text:p></table:table-cell>
    </table:table-row>
    <table:table-row>
     <table:table-cell office:value-type="string"><text:p>Чай</text:p></table:table-cell>
     <table:table-cell office:value-type="float" office:value="12"><text:p>12</text:p></table:table-cell>
     <table:table-cell office:value-type="float" office:value="149.5"><text:p>149.5</text:p></table:table-cell>
    </table:table-row>
    <table:table-row>
     <table:table-cell office:value-type="string"><text:p>Coffee</text:p></table:table-cell>
     <table:table-cell office:value-type="float" office:value="3"><text:p>3</text:p></table:table-cell>
     <table:table-cell office:value-type="float" office:value="0.25"><text:p>0.25</text:p></table:table-cell>
    </table:table-row>
   </table:table>
   <table:table table:name="Пусто">
    <table:table-row><table:table-cell/></table:table-row>
   </table:table>
   <table:table table:name="Итоги">
    <table:table-row>
     <table:table-cell/>
     <table:table-cell office:value-type="string"><text:p>Всего</text:p></table:table-cell>
    </table:table-row>
    <table:table-row>
     <table:table-cell/>
     <table:table-cell office:value-type="float" office:value="15"><text:p>15</text:p></table:table-cell>
    </table:table-row>
   </table:table>
  </office:spreadsheet>
 </office:body>
</office:document>
XML

soffice --headless -env:UserInstallation=file://"$work/profile" \
  --convert-to 'xls:MS Excel 97' --outdir "$work" "$work/sample.fods" >/dev/null
cp "$work/sample.xls" "$here/sample.xls"
echo "wrote $here/sample.xls"
