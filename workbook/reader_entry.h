// The entry points of the two file readers, called by the workbook's load
// paths (TXLSWorkbook::LoadFromBiff / LoadFromOpenXml).
//
// Each function is defined exactly once in the library. Until a reader
// lands, a placeholder in workbook/ defines it and raises "... not supported
// yet": workbook/biff_reader_placeholder.cpp and
// workbook/openxml_reader_placeholder.cpp. The reader's engineer defines the
// function in biff/ (or openxml/), deletes the placeholder file and its line
// in workbook/CMakeLists.txt, and the load path calls the reader unchanged.
//
// The workbook has been cleared and prepared when these run; they fill it
// through TSheets::AddSheet and the TSheet insert operations, and raise
// EXLSError on a bad file. The load path does the clean-up and AfterLoad.
#pragma once

#include <iosfwd>

namespace gridport {

class TXLSWorkbook;

// Reads a BIFF workbook from stream, or from workbook.Filename() when
// stream is nullptr (TBiffReader::ReadBiffStream).
void RunBiffReader(TXLSWorkbook& workbook, std::istream* stream);

// Reads an Open XML package from stream.
void RunOpenXmlReader(TXLSWorkbook& workbook, std::istream& stream);

}  // namespace gridport
