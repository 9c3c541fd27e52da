// Record ids of the BIFF workbook reader (MS-XLS names).
#pragma once

#include <cstdint>

namespace gridport::biff {

// Cell records.
constexpr std::uint16_t kBlank2 = 0x0001, kInteger2 = 0x0002, kNumber2 = 0x0003, kLabel2 = 0x0004;
constexpr std::uint16_t kBoolErr2 = 0x0005, kFormula = 0x0006, kString2 = 0x0007;
constexpr std::uint16_t kRK2 = 0x007E, kMulRK = 0x00BD, kMulBlank = 0x00BE, kRString = 0x00D6;
constexpr std::uint16_t kLabelSST = 0x00FD, kBlank = 0x0201, kNumber = 0x0203, kLabel = 0x0204;
constexpr std::uint16_t kBoolErr = 0x0205, kFormula3 = 0x0206, kString = 0x0207, kArray = 0x0221;
constexpr std::uint16_t kRK = 0x027E, kFormula4 = 0x0406, kShrFmla = 0x04BC, kShrFmla2 = 0x00BC;
constexpr std::uint16_t kTable = 0x0236;

// Substreams.
constexpr std::uint16_t kEOF = 0x000A, kBoundSheet = 0x0085;
constexpr std::uint16_t kBofGlobals = 0x0005, kBofModule = 0x0006, kBofWorksheet = 0x0010;
constexpr std::uint16_t kBofChart = 0x0020, kBofMacro = 0x0040, kBofWorkspace = 0x0100;

// Globals.
constexpr std::uint16_t kCalcCount = 0x000C, kCalcMode = 0x000D, kPrecision = 0x000E;
constexpr std::uint16_t kRefMode = 0x000F, kDelta = 0x0010, kIteration = 0x0011, kProtect = 0x0012;
constexpr std::uint16_t kPassword = 0x0013, kHeader = 0x0014, kFooter = 0x0015;
constexpr std::uint16_t kExternCount = 0x0016, kExternSheet = 0x0017, kName = 0x0018, kName2 = 0x0218;
constexpr std::uint16_t kWindowProtect = 0x0019, kVPageBreaks = 0x001A, kHPageBreaks = 0x001B;
constexpr std::uint16_t kNote = 0x001C, kSelection = 0x001D, kDateMode = 0x0022;
constexpr std::uint16_t kExternName = 0x0023, kExternName2 = 0x0223;
constexpr std::uint16_t kLeftMargin = 0x0026, kRightMargin = 0x0027, kTopMargin = 0x0028;
constexpr std::uint16_t kBottomMargin = 0x0029, kPrintHeaders = 0x002A, kPrintGridlines = 0x002B;
constexpr std::uint16_t kFilePass = 0x002F, kFont = 0x0031, kFont34 = 0x0231, kContinue = 0x003C;
constexpr std::uint16_t kWindow1 = 0x003D, kBackup = 0x0040, kPane = 0x0041, kCodePage = 0x0042;
constexpr std::uint16_t kDefColWidth = 0x0055, kXCT = 0x0059, kCRN = 0x005A, kFileSharing = 0x005B;
constexpr std::uint16_t kWriteAccess = 0x005C, kSaveRecalc = 0x005F, kColInfo = 0x007D;
constexpr std::uint16_t kGuts = 0x0080, kWsBool = 0x0081, kGridSet = 0x0082, kHCenter = 0x0083;
constexpr std::uint16_t kVCenter = 0x0084, kCountry = 0x008C, kHideObj = 0x008D, kPalette = 0x0092;
constexpr std::uint16_t kFilterMode = 0x009B, kFnGroupCount = 0x009C, kAutoFilterInfo = 0x009D;
constexpr std::uint16_t kSetup = 0x00A1, kDBCell = 0x00D7, kBookBool = 0x00DA, kXF = 0x00E0;
constexpr std::uint16_t kXF3 = 0x0243, kXF4 = 0x0443, kMergeCells = 0x00E5;
constexpr std::uint16_t kMsoDrawingGroup = 0x00EB, kMsoDrawing = 0x00EC, kMsoDrawingSelection = 0x00ED;
constexpr std::uint16_t kSST = 0x00FC, kExtSST = 0x00FF, kDsf = 0x0161, kUserBView = 0x01A9;
constexpr std::uint16_t kUsersViewBegin = 0x01AA, kUsersViewEnd = 0x01AB, kSupBook = 0x01AE;
constexpr std::uint16_t kProt4Rev = 0x01AF, kCondFmt = 0x01B0, kDVal = 0x01B2, kRefreshAll = 0x01B7;
constexpr std::uint16_t kHLink = 0x01B8, kRecalcId = 0x01C1, kDimensions2 = 0x0000, kDimensions = 0x0200;
constexpr std::uint16_t kRow = 0x0208, kIndex = 0x020B, kDefaultRowHeight = 0x0225, kWindow2 = 0x023E;
constexpr std::uint16_t kStyle = 0x0293, kFormat = 0x041E, kFormat23 = 0x001E, kSheetExt = 0x0862;
constexpr std::uint16_t kFeatHdr = 0x0867;

// Excel 2007 future records kept in the workbook's future-record store.
constexpr std::uint16_t kBookExt = 0x0863, kXFCrc = 0x087C, kXFExt = 0x087D, kCompat12 = 0x088C;
constexpr std::uint16_t kTableStyles = 0x088E, kStyleExt = 0x0892, kTheme = 0x0896;
constexpr std::uint16_t kMtrSettings = 0x089A, kCompressPictures = 0x089B, kForceFullCalc = 0x08A3;

// Internal position marks of the record stores.
constexpr std::uint16_t kMarkFormats = 0x8001, kMarkSheetList = 0x8002, kMarkNames = 0x8003;
constexpr std::uint16_t kMarkDrawingGroup = 0x8004, kMarkSST = 0x8005;
constexpr std::uint16_t kMarkPageBreaks = 0x8101, kMarkHeader = 0x8102, kMarkMargins = 0x8103;
constexpr std::uint16_t kMarkColInfo = 0x8104, kMarkObjects = 0x8106;

}  // namespace gridport::biff
