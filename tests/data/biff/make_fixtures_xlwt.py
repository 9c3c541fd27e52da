"""BIFF8 fixture from xlwt: formulas, Cyrillic text, dates, booleans, errors,
merged cells, a hidden sheet. Argument: the output file."""
import datetime
import sys

import xlwt

wb = xlwt.Workbook(encoding="utf-8")
s = wb.add_sheet("Лист1")
date_style = xlwt.easyxf(num_format_str="yyyy-mm-dd")
s.write(0, 0, "Привет")
s.write(0, 1, 42)
s.write(0, 2, 3.25)
s.write(1, 0, True)
s.write(1, 1, xlwt.Formula("B1*2"))
s.write(1, 2, xlwt.Formula('"ab"&"cd"'))
s.write(2, 0, datetime.date(2024, 2, 29), date_style)
s.write(2, 1, 70000)  # beyond the RK integer range of 30 bits? no: still RK; a plain integer
s.write(2, 2, 1234567.891)
s.write_merge(3, 3, 0, 2, "merged across")
s.write(4, 0, xlwt.Formula("SUM(B1:B2)"))
s.write(5, 3, "")  # blank with style
s.write(6, 5, "far cell")
h = wb.add_sheet("Hidden")
h.write(0, 0, "hidden text")
h.visibility = 1
e = wb.add_sheet("Empty")
wb.save(sys.argv[1])
