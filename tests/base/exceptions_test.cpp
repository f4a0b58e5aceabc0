#include "base/exceptions.h"

#include <gtest/gtest.h>

namespace {

TEST(Exceptions, MessageIsPlaceThenDetailInParentheses) {
  const ECoreSocketError e("THubSocket.Initialize", "Socket already initialize!");
  EXPECT_STREQ(e.what(), "THubSocket.Initialize(Socket already initialize!)");
}

TEST(Exceptions, FamilyIsCaughtByBase) {
  auto raise = [] { throw EBufferException("TWriteBuffer.EndMessage", "twice"); };
  EXPECT_THROW(raise(), EKavroException);
}

TEST(Exceptions, CheckNamesFileAndLineAndNeverAborts) {
  try {
    KAVRO_CHECK(1 + 1 == 3, "BadParms(3, 1)");
    FAIL() << "check did not throw";
  } catch (const EAssertionFailed& e) {
    const std::string message = e.what();
    EXPECT_EQ(message.rfind("exceptions_test.cpp(BadParms(3, 1) at line ", 0), 0u) << message;
  }
  EXPECT_NO_THROW(KAVRO_CHECK(true, "never"));
}

}  // namespace
