#include <windows.h>

#include <gtest/gtest.h>

#include "classes.h"

TEST(TFileStreamWin, MissingFileNamesTheFullPath) {
  try {
    TStringList l;
    l.LoadFromFile("C:\\ProgramData\\Corvallo\\missing.dat");
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file C:\\ProgramData\\Corvallo\\missing.dat");
  }
}

TEST(TFileStreamWin, ExclusiveCreateReplacesAndLocks) {
  const std::string name = "C:\\ProgramData\\Corvallo\\x.bin";
  {
    TFileStream f(name, fmCreate | fmShareExclusive);
    f.WriteBuffer("abc", 3);
    EXPECT_THROW(TFileStream(name, fmOpenRead), EFOpenError);
  }
  TMemoryStream m;
  m.LoadFromFile(name);
  EXPECT_EQ(m.DataString(), "abc");
  DeleteFileA(name.c_str());
}
