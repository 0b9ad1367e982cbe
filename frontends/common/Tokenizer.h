#pragma once
// The line tokenizer of the front ends' text files (the launcher's menu and
// button descriptions, the router's ini file): each line is cut into tokens
// at a set of delimiter characters, double quotes keep delimiters inside a
// token, and the tokens are then handed out one by one across line ends.

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// The longest line read, without its line end.
constexpr size_t kTokenizerMaxLine = 255;
// The most delimiter characters a line with quotes can be split by: each
// stands in the quoted text as the byte of its position plus one.
constexpr size_t kTokenizerMaxDelimiters = 32;

class CQVTokenLine {
public:
    // Appends the tokens of one line.
    void Split(const std::string& text, const std::string& delimiters);
    // The next token, or null; the call after the last token returns null
    // and starts the line over.
    const char* NextToken();
    size_t GetTokenCount() const { return m_Tokens.size(); }

    // Replaces from by to in text over [start, end) (end -1: to the end);
    // the number replaced.
    static int ReplaceChar(std::string& text, char from, char to, int start, int end);

private:
    std::vector<std::string> m_Tokens;
    int m_Cursor = 0;
};

class CQVTokenizer {
public:
    // Reads the whole stream, one line at a time (a carriage return before
    // the line feed is dropped, and a last line without a line feed is read
    // too). False for a line longer than kTokenizerMaxLine: the lines before
    // it are kept and reading stops there.
    bool Read(std::FILE* stream, const std::string& delimiters);
    // The next token in file order, or null when all are used up; the call
    // after that starts again with the first token.
    const char* NextToken();
    void Clear();
    void Rewind() { m_Cursor = 0; }
    size_t GetLineCount() const { return m_Lines.size(); }

private:
    std::vector<CQVTokenLine> m_Lines;
    int m_Cursor = 0;
};

// A number read as the front ends' files give them: leading blanks, an
// optional sign and decimal digits, 0 when there are none; a value beyond
// the 32-bit range is held at its end.
int Frontend_ReadInt(const char* text);

// The front ends' files are keys in a fixed order, each followed by its
// value: the value after the next token when that token is key (matched
// exactly, case included); null when it is another or a token is missing.
const char* Frontend_ReadKey(CQVTokenizer& tokens, const char* key);
// The value that sets nothing.
inline constexpr const char* kFrontendNull = "null";
