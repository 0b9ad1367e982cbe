#include "frontends/common/Tokenizer.h"

#include <climits>
#include <cstring>

namespace {

bool IsDelimiter(char c, const std::string& delimiters) { return delimiters.find(c) != std::string::npos; }

}  // namespace

int CQVTokenLine::ReplaceChar(std::string& text, char from, char to, int start, int end) {
    if (from == to) return 0;
    const int size = static_cast<int>(text.size());
    if (end < 0 || end > size) end = size;
    if (start < 0) start = 0;
    // Texts are single-byte Windows-1252: every byte is a character.
    int replaced = 0;
    for (int i = start; i < end; ++i) {
        if (text[static_cast<size_t>(i)] == from) {
            text[static_cast<size_t>(i)] = to;
            ++replaced;
        }
    }
    return replaced;
}

void CQVTokenLine::Split(const std::string& text, const std::string& delimiters) {
    std::string work = text;
    const bool quoted = work.find('"') != std::string::npos;
    if (quoted) {
        if (delimiters.size() > kTokenizerMaxDelimiters) return;
        size_t quotes = 0;
        for (char c : work) quotes += c == '"' ? 1 : 0;
        if (quotes % 2 != 0) return;
        // Inside each pair of quotes a delimiter becomes the byte of its
        // position plus one, and the quotes become blanks.
        size_t open = work.find('"');
        while (open != std::string::npos) {
            const size_t close = work.find('"', open + 1);
            for (size_t i = 0; i < delimiters.size(); ++i) {
                ReplaceChar(work, delimiters[i], static_cast<char>(i + 1), static_cast<int>(open), static_cast<int>(close));
            }
            ReplaceChar(work, '"', ' ', static_cast<int>(open), static_cast<int>(close) + 1);
            open = work.find('"', close + 1);
        }
    }
    // Runs of delimiters, and delimiters at either end, give no empty tokens.
    size_t at = 0;
    while (at < work.size()) {
        while (at < work.size() && IsDelimiter(work[at], delimiters)) ++at;
        if (at == work.size()) break;
        size_t end = at;
        while (end < work.size() && !IsDelimiter(work[end], delimiters)) ++end;
        std::string token = work.substr(at, end - at);
        if (quoted) {
            for (size_t i = 0; i < delimiters.size(); ++i) {
                ReplaceChar(token, static_cast<char>(i + 1), delimiters[i], 0, -1);
            }
        }
        m_Tokens.push_back(std::move(token));
        at = end;
    }
}

const char* CQVTokenLine::NextToken() {
    if (m_Tokens.empty()) return nullptr;
    if (m_Cursor < 0 || static_cast<size_t>(m_Cursor) >= m_Tokens.size()) {
        m_Cursor = 0;
        return nullptr;
    }
    return m_Tokens[static_cast<size_t>(m_Cursor++)].c_str();
}

void CQVTokenizer::Clear() {
    m_Lines.clear();
    m_Cursor = 0;
}

bool CQVTokenizer::Read(std::FILE* stream, const std::string& delimiters) {
    Clear();
    if (stream == nullptr) return false;
    std::string line;
    bool any = false;  // the line holds a character, its line end not yet read
    auto finish = [&]() {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > kTokenizerMaxLine) return false;
        CQVTokenLine tokens;
        tokens.Split(line, delimiters);
        m_Lines.push_back(std::move(tokens));
        line.clear();
        any = false;
        return true;
    };
    for (int c = std::getc(stream); c != EOF; c = std::getc(stream)) {
        if (c == '\n') {
            if (!finish()) return false;
            continue;
        }
        // One byte past the limit (and a carriage return) is enough to know.
        if (line.size() <= kTokenizerMaxLine + 1) line.push_back(static_cast<char>(c));
        any = true;
    }
    // The last line counts without a line feed.
    return !any || finish();
}

const char* CQVTokenizer::NextToken() {
    if (m_Lines.empty()) return nullptr;
    while (m_Cursor >= 0 && static_cast<size_t>(m_Cursor) < m_Lines.size()) {
        if (const char* token = m_Lines[static_cast<size_t>(m_Cursor)].NextToken()) return token;
        ++m_Cursor;
    }
    m_Cursor = 0;
    return nullptr;
}

int Frontend_ReadInt(const char* text) {
    if (text == nullptr) return 0;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

const char* Frontend_ReadKey(CQVTokenizer& tokens, const char* key) {
    const char* found = tokens.NextToken();
    if (found == nullptr || std::strcmp(found, key) != 0) return nullptr;
    return tokens.NextToken();
}
