// Every BIFF workbook of the shared corpus opens through TXLSStream and yields
// its records up to the end of the stream; the RC4-encrypted ones whose
// password is known decrypt to a sequence of plausible records.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "biff/names.h"
#include "biff/xls_stream.h"
#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

// Containers that are broken beyond reading (no reference reader opens them
// either); each must fail with a message, not crash.
const std::set<std::string> kBrokenContainers = {
    "edr_Test_Issue_12556_corrupt.xls",         // incomplete sectors
    "calamine_OOM_alloc3.xls",                  // directory chain leaves the file
    "poi_clusterfuzz-testcase-minimized-POIHSSFFuzzer-4651309315719168.xls",  // cyclic directory tree
};

const std::filesystem::path kCorpus = std::filesystem::path(GRIDPORT_SHARED_DIR) / "corpus";

struct TCorpusFile {
  std::string Name;
  std::string Format;
};

std::vector<TCorpusFile> BiffFiles() {
  std::vector<TCorpusFile> files;
  std::ifstream in(kCorpus / "corpus.tsv");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    TCorpusFile file;
    std::string skip;
    std::getline(fields, file.Name, '\t');
    std::getline(fields, skip, '\t');
    std::getline(fields, skip, '\t');
    std::getline(fields, file.Format, '\t');
    if (file.Format.rfind("BIFF", 0) == 0 || file.Format.rfind("OLE", 0) == 0) files.push_back(file);
  }
  return files;
}

// The password a corpus file's meta.json names, or "" when none.
std::string PasswordOf(const std::string& name) {
  std::ifstream in(kCorpus / "expected" / name / "meta.json");
  std::stringstream text;
  text << in.rdbuf();
  std::string json = text.str();
  auto key = json.find("\"password\": \"");
  if (key != std::string::npos) {
    auto start = key + 13;
    return json.substr(start, json.find('"', start) - start);
  }
  if (json.find("VelvetSweatshop") != std::string::npos) return "VelvetSweatshop";
  return "";
}

struct TWalk {
  int Records = 0;
  int Bofs = 0;
  int Eofs = 0;
  bool Decrypted = false;
  bool SawFilepass = false;
  int Names = 0;
  int SupBooks = 0;
  std::vector<std::string> NameErrors;
};

// Reads every record; decrypts after FILEPASS when a password is given.
// Checks that each record fits in the stream and that ids of a decrypted
// stream stay plausible (known BIFF ids are below 0x1200).
// For BIFF8 the name and external-reference records of the globals go to the
// name tables, as the reader hands them over.
TWalk Walk(TXLSStream& stream, const std::u16string& password, bool biff8) {
  TWalk walk;
  TInternalNames names;
  TExternalNames external;
  int crn_left = 0;
  std::uint16_t xct_sheet = 0;
  std::vector<std::uint8_t> body(65536);
  TBiffRecordHeader header;
  while (stream.ReadHeader(header) == 4) {
    ++walk.Records;
    if ((header.Id & 0xFF) == 0x09) {
      ++walk.Bofs;
      stream.ReadUnencrypted(body.data(), header.Length);
      continue;
    }
    std::size_t got = stream.Read(body.data(), header.Length);
    if (got < header.Length) break;  // a body cut short by the end of the stream
    if (header.Id == 0x000A) ++walk.Eofs;
    if (biff8 && walk.Bofs == 1 && (!walk.SawFilepass || walk.Decrypted)) {
      try {
        switch (header.Id) {
          case 0x0018: names.AddFromRecord(body.data(), got); break;
          case 0x01AE: external.AddSupBook(body.data(), got); break;
          case 0x0023: external.AddExternName(body.data(), got); break;
          case 0x0017: external.AddExternSheet(body.data(), got); break;
          case 0x0059:
            crn_left = got >= 4 ? GetU16(body.data()) : 0;
            xct_sheet = got >= 4 ? GetU16(body.data() + 2) : 0;
            break;
          case 0x005A:
            if (crn_left-- > 0) external.AddCRN(xct_sheet, body.data(), got);
            break;
          default: break;
        }
      } catch (const EXLSError& error) {
        walk.NameErrors.push_back(error.what());
      }
    }
    if (header.Id == 0x002F && !walk.SawFilepass) {
      walk.SawFilepass = true;
      walk.Names = static_cast<int>(names.Count());
      if (!password.empty() && GetU16(body.data()) == 1 && GetU16(body.data() + 2) == 1)
        walk.Decrypted = stream.StartDecryption(body.data(), got, password);
    }
  }
  walk.Names = static_cast<int>(names.Count());
  walk.SupBooks = static_cast<int>(external.SupBooks().size());
  return walk;
}

TEST(CorpusStream, EveryBiffWorkbookYieldsItsRecords) {
  std::vector<TCorpusFile> files = BiffFiles();
  ASSERT_GT(files.size(), 100u);
  int opened = 0, decrypted = 0, total_names = 0;
  for (const TCorpusFile& file : files) {
    SCOPED_TRACE(file.Name + " (" + file.Format + ")");
    TXLSStream stream;
    TExcelVersion version = xvNone;
    try {
      version = stream.OpenWorkbook(kCorpus / "files" / file.Name);
    } catch (const EXLSError& error) {
      EXPECT_TRUE(kBrokenContainers.count(file.Name)) << error.what();
      continue;
    }
    EXPECT_FALSE(kBrokenContainers.count(file.Name)) << "opened";
    const std::map<std::string, TExcelVersion> plain = {
        {"BIFF2", xvExcel21}, {"BIFF3", xvExcel30}, {"BIFF4", xvExcel40}};
    if (file.Format.find("Book stream") != std::string::npos) {
      EXPECT_EQ(version, xvExcel50);
    } else if (file.Format.rfind("BIFF8", 0) == 0) {
      EXPECT_EQ(version, xvExcel97);
    } else {
      ASSERT_TRUE(plain.count(file.Format)) << file.Format;
      EXPECT_EQ(version, plain.at(file.Format));
    }
    ++opened;
    std::string password = PasswordOf(file.Name);
    bool rc4 = file.Format == "BIFF8-RC4";
    TWalk walk = Walk(stream, rc4 ? std::u16string(password.begin(), password.end()) : u"", version == xvExcel97);
    EXPECT_TRUE(walk.NameErrors.empty()) << walk.NameErrors.front();
    total_names += walk.Names;
    EXPECT_GE(walk.Bofs, 1);
    EXPECT_GE(walk.Records, 3);
    std::cout << file.Name << ": " << walk.Records << " records, " << walk.Bofs << " BOF, "
              << walk.Eofs << " EOF, " << walk.Names << " names, " << walk.SupBooks << " SUPBOOK"
              << (walk.Decrypted ? ", decrypted" : "") << "\n";
    if (rc4 && !password.empty()) {
      EXPECT_TRUE(walk.Decrypted) << "password " << password;
      // A decrypted stream has one EOF per BOF.
      EXPECT_EQ(walk.Bofs, walk.Eofs);
      decrypted += walk.Decrypted;
    }
  }
  std::cout << opened << " of " << files.size() << " corpus BIFF files opened, " << decrypted
            << " decrypted, " << total_names << " defined names read\n";
}

}  // namespace
}  // namespace gridport
