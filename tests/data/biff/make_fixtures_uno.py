"""Builds the LibreOffice fixtures through UNO: one workbook with three sheets
(values of every kind, Cyrillic text, merged cells, filled-down formulas that
Excel 97 export writes as shared formulas, and an embedded chart on the first
sheet), saved with the "MS Excel 97" filter.

Run by make_fixtures.sh with a listening soffice; argument: the output folder."""
import os
import sys
import time

import uno
from com.sun.star.awt import Rectangle
from com.sun.star.beans import PropertyValue
from com.sun.star.table import CellRangeAddress


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def connect():
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
    for _ in range(60):
        try:
            return resolver.resolve("uno:socket,host=localhost,port=2083;urp;StarOffice.ComponentContext")
        except Exception:
            time.sleep(0.5)
    raise SystemExit("soffice did not answer")


def main(out):
    ctx = connect()
    desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
    doc = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))
    sheets = doc.Sheets
    sheets.getByIndex(0).Name = "Данные"
    sheets.insertNewByName("Second", 1)
    sheets.insertNewByName("Third", 2)

    s = sheets.getByIndex(0)
    s.getCellByPosition(0, 0).String = "Имя"
    s.getCellByPosition(1, 0).String = "Value"
    s.getCellByPosition(2, 0).String = "Twice"
    for r in range(1, 7):
        s.getCellByPosition(0, r).String = "строка %d" % r
        s.getCellByPosition(1, r).Value = r * 1.5
        s.getCellByPosition(2, r).Formula = "=B%d*2" % (r + 1)
    s.getCellByPosition(0, 8).Formula = '=IF(B2>1;"да";"нет")'  # string result
    s.getCellByPosition(1, 8).Formula = "=1/0"  # error result
    s.getCellByPosition(2, 8).Formula = "=B2>1"  # boolean result
    s.getCellByPosition(3, 8).Formula = '=""'  # empty string result
    s.getCellByPosition(0, 9).Value = 123456789
    s.getCellByPosition(1, 9).Value = -0.25
    s.getCellRangeByName("A11:B11").merge(True)
    s.getCellByPosition(0, 10).String = "merged"
    # Chart of B1:C7 embedded in the sheet: its BOF 0x0020 substream sits inside the sheet's.
    rng = CellRangeAddress()
    rng.Sheet, rng.StartColumn, rng.StartRow, rng.EndColumn, rng.EndRow = 0, 1, 0, 2, 6
    rect = Rectangle(8000, 1000, 10000, 6000)
    s.Charts.addNewByName("Chart1", rect, (rng,), True, False)

    t = sheets.getByIndex(1)
    t.getCellByPosition(0, 0).Value = 1
    t.getCellByPosition(1, 0).String = "two"
    t.getCellByPosition(2, 1).Formula = "=TRUE()"
    t.getCellByPosition(3, 2).Formula = "=NA()"

    u = sheets.getByIndex(2)
    u.getCellByPosition(1, 1).String = "last sheet"
    u.IsVisible = False

    # The "MS Excel 95" filter of this LibreOffice (7.4) reads only; BIFF5 comes from Gnumeric.
    for name, flt in (("lo_excel97.xls", "MS Excel 97"),):
        url = uno.systemPathToFileUrl(os.path.join(os.path.abspath(out), name))
        doc.storeToURL(url, (prop("FilterName", flt),))
    doc.close(True)


if __name__ == "__main__":
    main(sys.argv[1])
