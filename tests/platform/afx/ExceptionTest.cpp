// Framework exceptions: who frees them, and what they say.
#include <gtest/gtest.h>
#include <plinth/afx/Exception.h>

#include <string>

#include "support/FrameworkExceptions.h"

namespace {

using plinth::test::Caught;

std::string Message(const CException& e, UINT size = 256) {
  char buffer[256] = "sentinel";
  UINT help = 99;
  const BOOL has = e.GetErrorMessage(buffer, size, &help);
  EXPECT_EQ(help, 0u);
  return has ? std::string(buffer) : "<none: " + std::string(buffer) + ">";
}

TEST(Exception, MemoryExceptionIsOneStaticObject) {
  CException* first = Caught([] { AfxThrowMemoryException(); });
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(first->m_bAutoDelete);
  first->Delete();  // must not free it: the next throw hands out the same object
  CException* second = Caught([] { AfxThrowMemoryException(); });
  EXPECT_EQ(first, second);
  EXPECT_NE(dynamic_cast<CMemoryException*>(second), nullptr);
  second->Delete();
}

TEST(Exception, ThrownExceptionsCarryTheirDetailsAndFreeThemselves) {
  // Leak checking under the sanitizers shows a Delete() that does not free.
  struct Case {
    CException* thrown;
    std::string message;
  };
  const Case cases[] = {
      {Caught([] { AfxThrowInvalidArgException(); }), "Invalid argument."},
      {Caught([] { AfxThrowOleException(E_FAIL); }), "OLE error 0x80004005."},
      {Caught([] { AfxThrowFileException(CFileException::fileNotFound, 2, "a.txt"); }),
       "File not found 'a.txt'."},
      {Caught([] { AfxThrowFileException(CFileException::diskFull); }), "Disk full."},
      {Caught([] { AfxThrowFileException(CFileException::none); }), "<none: >"},
      {Caught([] { AfxThrowArchiveException(CArchiveException::endOfFile, "x.dat"); }),
       "Unexpected end of file while reading archive 'x.dat'."},
      {Caught([] { AfxThrowArchiveException(99); }), "Archive error."},
  };
  for (const Case& c : cases) {
    ASSERT_NE(c.thrown, nullptr);
    EXPECT_TRUE(c.thrown->m_bAutoDelete);
    EXPECT_EQ(Message(*c.thrown), c.message);
    c.thrown->Delete();
  }

  CException* file = Caught([] { AfxThrowFileException(CFileException::accessDenied, 13, "f"); });
  auto* details = dynamic_cast<CFileException*>(file);
  ASSERT_NE(details, nullptr);
  EXPECT_EQ(details->m_cause, CFileException::accessDenied);
  EXPECT_EQ(details->m_lOsError, 13);
  EXPECT_EQ(details->m_strFileName, "f");
  file->Delete();
}

TEST(Exception, MessagesAreCutToTheBuffer) {
  const CMemoryException memory;
  EXPECT_EQ(Message(memory, 4), "Out");
  EXPECT_EQ(Message(memory, 1), "");
  EXPECT_EQ(Message(CException()), "<none: >");
  EXPECT_TRUE(memory.GetErrorMessage(nullptr, 0));
}

}  // namespace
