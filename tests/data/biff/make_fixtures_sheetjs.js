// BIFF2, BIFF5 and BIFF8 fixtures from SheetJS. Usage: node make_fixtures_sheetjs.js <outdir>
// (run with NODE_PATH pointing at a folder where `npm install xlsx` was run).
const XLSX = require("xlsx");
const path = require("path");
const out = process.argv[2];
const rows = [
  ["Name", "Value", "Flag"],
  ["alpha", 1, true],
  ["beta", 2.5, false],
  ["gamma", -3, true],
  [null, 1e10, null],
];
for (const [bookType, file] of [["biff2", "sheetjs_biff2.xls"], ["biff5", "sheetjs_biff5.xls"], ["biff8", "sheetjs_biff8.xls"]]) {
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet(rows), "First");
  if (bookType !== "biff2") XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet([["second", 7]]), "Second");
  XLSX.writeFile(wb, path.join(out, file), { bookType });
}
