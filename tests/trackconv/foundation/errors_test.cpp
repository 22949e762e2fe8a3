#include "trackconv/foundation/errors.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Errors, FileErrorsPutTheirPrefixBeforeTheName) {
  EXPECT_STREQ(XFileOpen("/x/y.trk").what(), "Couldn't open file /x/y.trk");
  EXPECT_STREQ(XFileRead("a").what(), "Couldn't read file a");
  EXPECT_STREQ(XFileWrite("a").what(), "Couldn't write file a");
  EXPECT_STREQ(XFileSeek("a").what(), "Couldn't seek in file a");
  EXPECT_STREQ(XAssumption("").what(), "");
  EXPECT_STREQ(XGeneral("Subfile not found\n").what(), "Subfile not found\n");
}

TEST(Errors, OnlyXAssumptionIsALogicError) {
  auto is_logic = [](auto thrown) {
    try {
      throw thrown;
    } catch (const std::logic_error&) {
      return true;
    } catch (const std::runtime_error&) {
      return false;
    }
  };
  EXPECT_TRUE(is_logic(XAssumption("a")));
  EXPECT_FALSE(is_logic(XGeneral("a")));
  EXPECT_FALSE(is_logic(XFileOpen("a")));
  EXPECT_FALSE(is_logic(XFileRead("a")));
  EXPECT_FALSE(is_logic(XFileWrite("a")));
  EXPECT_FALSE(is_logic(XFileSeek("a")));
}
