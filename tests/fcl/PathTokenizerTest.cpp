#include "fcl/PathTokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using XALFcl::CPathTokenizer;

namespace {

std::vector<std::string> Tokens(const std::string& text, std::int64_t start) {
    CPathTokenizer tokenizer(text, start, '/');
    std::vector<std::string> tokens;
    std::string token;
    while (tokenizer.Next(token))
        tokens.push_back(token);
    EXPECT_TRUE(tokenizer.Exhausted());
    EXPECT_FALSE(tokenizer.Next(token));
    return tokens;
}

TEST(PathTokenizerTest, EmptyPiecesAreTokens) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Tokens("/a/b", 0), (V{"", "a", "b"}));
    EXPECT_EQ(Tokens("a//b/", 0), (V{"a", "", "b", ""}));
    EXPECT_EQ(Tokens("", 0), (V{""}));
}

TEST(PathTokenizerTest, StartsAtTheGivenPosition) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Tokens("/a/bc", 1), (V{"a", "bc"}));
    EXPECT_EQ(Tokens("/a/bc", 3), (V{"bc"}));
    EXPECT_EQ(Tokens("/a/bc", 5), (V{""}));
    EXPECT_EQ(Tokens("/a/bc", 6), V{});
    EXPECT_EQ(Tokens("/a/bc", -1), V{});
}

} // namespace
