#include "catalogue/utils.h"

#include <gtest/gtest.h>

TEST(GetToken, CutsFieldsOneByOne)
{
    QString source = "a^b^c";
    EXPECT_EQ(f_get_token(source, "^"), "a");
    EXPECT_EQ(source, "b^c");
    EXPECT_EQ(f_get_token(source, "^"), "b");
    EXPECT_EQ(source, "c");
    EXPECT_EQ(f_get_token(source, "^"), "c");
    EXPECT_TRUE(source.isEmpty());
    EXPECT_EQ(f_get_token(source, "^"), "");
    EXPECT_TRUE(source.isEmpty());
}

TEST(GetToken, SeparatorAtTheEdges)
{
    QString leading = "^x";
    EXPECT_EQ(f_get_token(leading, "^"), "");
    EXPECT_EQ(leading, "x");
    QString trailing = "x^";
    EXPECT_EQ(f_get_token(trailing, "^"), "x");
    EXPECT_TRUE(trailing.isEmpty());
    QString none = "whole text";
    EXPECT_EQ(f_get_token(none, "^"), "whole text");
    EXPECT_TRUE(none.isEmpty());
    QString empty;
    EXPECT_EQ(f_get_token(empty, "^"), "");
    EXPECT_FALSE(f_get_token(empty, "^").isNull());
}

TEST(GetToken, LongSeparatorDropsOnlyItsFirstCharacter)
{
    QString source = "a^^b";
    EXPECT_EQ(f_get_token(source, "^^"), "a");
    EXPECT_EQ(source, "^b");
}

TEST(IsNull, MissingBecomesEmptyOthersStay)
{
    EXPECT_EQ(gf_isnull(QString()), "");
    EXPECT_FALSE(gf_isnull(QString()).isNull());
    EXPECT_EQ(gf_isnull(""), "");
    EXPECT_EQ(gf_isnull("  spaced  "), "  spaced  ");
}
