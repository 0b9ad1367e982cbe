#include "frontends/common/Tokenizer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Marks the null that ends a pass over the tokens.
const std::string kEnd = "<null>";

// Reads text as a stream and takes count tokens (kEnd for null).
std::vector<std::string> Tokens(const std::string& text, const std::string& delimiters, size_t count, bool* read = nullptr) {
    std::string bytes = text;
    std::FILE* stream = bytes.empty() ? std::fopen("/dev/null", "r") : fmemopen(bytes.data(), bytes.size(), "r");
    CQVTokenizer tokens;
    const bool ok = tokens.Read(stream, delimiters);
    std::fclose(stream);
    if (read != nullptr) *read = ok;
    std::vector<std::string> out;
    for (size_t i = 0; i < count; ++i) {
        const char* token = tokens.NextToken();
        out.push_back(token != nullptr ? token : kEnd);
    }
    return out;
}

struct TokenCase {
    const char* name;
    std::string text;
    std::string delimiters;
    std::vector<std::string> expected;  // a pass, its null, and the start of the next pass
};

class TokenizerCases : public testing::TestWithParam<TokenCase> {};

TEST_P(TokenizerCases, GiveTheirTokensInFileOrder) {
    const TokenCase& c = GetParam();
    bool read = false;
    EXPECT_EQ(Tokens(c.text, c.delimiters, c.expected.size(), &read), c.expected);
    EXPECT_TRUE(read);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TokenizerCases,
    testing::Values(
        TokenCase{"LastLineWithLineFeed", "a b\nc\n", " =", {"a", "b", "c", kEnd, "a"}},
        // A last line without a line feed is read too.
        TokenCase{"LastLineWithoutLineFeed", "a b\nc", " =", {"a", "b", "c", kEnd, "a"}},
        TokenCase{"CarriageReturnsDropped", "a b\r\nc\r\n", " =", {"a", "b", "c", kEnd}},
        TokenCase{"KeyAndValueByBlanksOrEquals", "k=v\nk2 = v2\n  k3   v3 \n", " =", {"k", "v", "k2", "v2", "k3", "v3", kEnd}},
        TokenCase{"QuotedValueKeepsItsBlank", "app_name = \"Corvane Menu\"\n", " =", {"app_name", "Corvane Menu", kEnd}},
        TokenCase{"QuotedValueKeepsItsEquals", "k = \"a=b\"\n", " =", {"k", "a=b", kEnd}},
        TokenCase{"LineStartingWithQuote", "\"x y\"\n", " =", {"x y", kEnd}},
        TokenCase{"TextBesideQuotesIsATokenOfItsOwn", "ab\"c d\"e\n", " =", {"ab", "c d", "e", kEnd}},
        TokenCase{"QuotesBecomeBlanksThatStayWithoutBlankDelimiter", "x\"y z\"w=v\n", "=", {"x y z w", "v", kEnd}},
        TokenCase{"OddQuotesEmptyTheirLineOnly", "a \"b\nc d\n", " =", {"c", "d", kEnd, "c"}},
        TokenCase{"TooManyDelimitersEmptyAQuotedLine", "a \"b\"\nc\n", std::string(" =") + std::string(31, ';'), {"c", kEnd}},
        TokenCase{"ManyDelimitersWithoutQuotes", "a;b\n", std::string(" =") + std::string(31, ';'), {"a", "b", kEnd}},
        TokenCase{"LineOfDelimitersIsPassedOver", " = =  \n\na\n", " =", {"a", kEnd, "a"}},
        TokenCase{"EmptyFile", "", " =", {kEnd, kEnd}},
        TokenCase{"LongestLine", std::string(255, 'x') + "\ny\n", " =", {std::string(255, 'x'), "y", kEnd}}),
    [](const testing::TestParamInfo<TokenCase>& info) { return info.param.name; });

TEST(Tokenizer, ALineTooLongStopsTheReadAndKeepsTheLinesBeforeIt) {
    bool read = true;
    EXPECT_EQ(Tokens("a b\n" + std::string(256, 'x') + "\nc\n", " =", 3, &read),
              (std::vector<std::string>{"a", "b", kEnd}));
    EXPECT_FALSE(read);
    // The limit counts the line without its carriage return.
    EXPECT_EQ(Tokens(std::string(255, 'x') + "\r\n", " =", 1, &read), std::vector<std::string>{std::string(255, 'x')});
    EXPECT_TRUE(read);
}

TEST(Tokenizer, ReadingAgainStartsAfresh) {
    std::string first = "a b\n", second = "c\n";
    CQVTokenizer tokens;
    std::FILE* stream = fmemopen(first.data(), first.size(), "r");
    ASSERT_TRUE(tokens.Read(stream, " ="));
    std::fclose(stream);
    EXPECT_STREQ(tokens.NextToken(), "a");
    stream = fmemopen(second.data(), second.size(), "r");
    ASSERT_TRUE(tokens.Read(stream, " ="));
    std::fclose(stream);
    EXPECT_EQ(tokens.GetLineCount(), 1u);
    EXPECT_STREQ(tokens.NextToken(), "c");
    EXPECT_EQ(tokens.NextToken(), nullptr);
    tokens.Clear();
    EXPECT_EQ(tokens.NextToken(), nullptr);
}

TEST(Tokenizer, ReplaceCharCountsWithinItsRange) {
    std::string text = "a=b=c=d";
    EXPECT_EQ(CQVTokenLine::ReplaceChar(text, '=', ' ', 2, 5), 1);
    EXPECT_EQ(text, "a=b c=d");
    EXPECT_EQ(CQVTokenLine::ReplaceChar(text, '=', '+', 0, -1), 2);
    EXPECT_EQ(text, "a+b c+d");
    EXPECT_EQ(CQVTokenLine::ReplaceChar(text, '+', '+', 0, -1), 0);
    // Ranges past the text are held to it.
    EXPECT_EQ(CQVTokenLine::ReplaceChar(text, '+', '-', -3, 100), 2);
}

TEST(Tokenizer, KeysAreTakenInTheirOrder) {
    std::string text = "company = Marn\nproduct Corvane\n";
    auto read = [&](CQVTokenizer* tokens) {
        std::FILE* stream = fmemopen(text.data(), text.size(), "r");
        ASSERT_TRUE(tokens->Read(stream, " ="));
        std::fclose(stream);
    };
    CQVTokenizer outOfOrder;
    read(&outOfOrder);
    EXPECT_STREQ(Frontend_ReadKey(outOfOrder, "company"), "Marn");
    EXPECT_EQ(Frontend_ReadKey(outOfOrder, "first"), nullptr);  // "product" is not "first"
    CQVTokenizer inOrder;
    read(&inOrder);
    EXPECT_STREQ(Frontend_ReadKey(inOrder, "company"), "Marn");
    EXPECT_STREQ(Frontend_ReadKey(inOrder, "product"), "Corvane");
    EXPECT_EQ(Frontend_ReadKey(inOrder, "first"), nullptr);  // no tokens left
}

TEST(Tokenizer, NumbersAreLeadingDigitsWithASign) {
    const struct {
        const char* text;
        int value;
    } cases[] = {{"12", 12}, {"  -7x", -7}, {"+5", 5}, {"abc", 0}, {"", 0}, {"- 3", 0},
                 {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}, {"-2147483648", INT_MIN}};
    for (const auto& c : cases) EXPECT_EQ(Frontend_ReadInt(c.text), c.value) << c.text;
}

}  // namespace
