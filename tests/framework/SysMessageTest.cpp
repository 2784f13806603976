#include <gtest/gtest.h>

#include "platform/compound/CompoundResult.h"
#include "platform/framework/SysMessage.h"

namespace {

TEST(SysErrorMessage, KnownTexts) {
  struct Case {
    uint32_t code;
    const char* text;
  };
  const Case cases[] = {
      {0x80030001, "Unable to perform requested operation.\r\n"},
      // Inserts that are never supplied: a leading one reads "The element", inner ones go.
      {0x80030002, "The element could not be found.\r\n"},
      {0x80030003, "The path could not be found.\r\n"},
      {0x80030050, "The element already exists.\r\n"},
      {0x800300FB, "The file is not a valid compound file.\r\n"},
      {0x800300FC, "The name is not valid.\r\n"},
      {0x80030104, "The compound file was produced with an incompatible version of storage.\r\n"},
      {0x80030005, "Access Denied.\r\n"},
      {0x80030020, "A share violation has occurred.\r\n"},
      {0x80030103, "Can't save.\r\n"},
      {0x80030111, "The compound file is too large for the current implementation\r\n"},
      {0x80030201, "The file download was aborted abnormally.  The file is incomplete.\r\n"},
      {0x00030200, "The underlying file was converted to compound file format.\r\n"},
      {0x00030206,
       "Consolidation of the storage file is inappropriate. (commit succeeded).\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(zyfw::SysErrorMessage(c.code), c.text) << std::hex << c.code;
}

TEST(SysErrorMessage, UnknownCodesNameTheCodeInEightUpperCaseDigits) {
  EXPECT_EQ(zyfw::SysErrorMessage(0x1), "Unknown error $00000001.\r\n");
  EXPECT_EQ(zyfw::SysErrorMessage(0x8003ABCD), "Unknown error $8003ABCD.\r\n");
  EXPECT_EQ(zyfw::SysErrorMessage(0x80000102), "Unknown error $80000102.\r\n");
}

TEST(SysErrorMessage, EveryServiceFailureHasAMessageWithoutInserts) {
  using namespace zycfb;
  const Result codes[] = {
      STG_E_INVALIDFUNCTION,  STG_E_FILENOTFOUND,         STG_E_PATHNOTFOUND,
      STG_E_TOOMANYOPENFILES, STG_E_ACCESSDENIED,         STG_E_INVALIDHANDLE,
      STG_E_INSUFFICIENTMEMORY, STG_E_INVALIDPOINTER,     STG_E_NOMOREFILES,
      STG_E_DISKISWRITEPROTECTED, STG_E_SEEKERROR,        STG_E_WRITEFAULT,
      STG_E_READFAULT,        STG_E_SHAREVIOLATION,       STG_E_LOCKVIOLATION,
      STG_E_FILEALREADYEXISTS, STG_E_INVALIDPARAMETER,    STG_E_MEDIUMFULL,
      STG_E_INVALIDHEADER,    STG_E_INVALIDNAME,          STG_E_UNKNOWN,
      STG_E_UNIMPLEMENTEDFUNCTION, STG_E_INVALIDFLAG,     STG_E_INUSE,
      STG_E_REVERTED,         STG_E_OLDFORMAT,            STG_E_OLDDLL,
      STG_E_DOCFILECORRUPT,   STG_E_DOCFILETOOLARGE,
  };
  for (Result code : codes) {
    const std::string text = zyfw::SysErrorMessage(code);
    EXPECT_EQ(text.rfind("Unknown error", 0), std::string::npos) << std::hex << code;
    EXPECT_EQ(text.find('%'), std::string::npos) << text;
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << text;
    EXPECT_NE(text[text.size() - 3], ' ') << text;
  }
}

}  // namespace
