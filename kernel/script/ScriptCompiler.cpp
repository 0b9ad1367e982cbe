#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel/actors/Actor.h"
#include "kernel/actors/CommandKeywords.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/ScriptMessages.h"
#include "kernel/script/Script.h"

namespace {

constexpr const char* kErrNoOwner = "No Owner!";
constexpr const char* kErrCommentEnd = "Missing end of comment!";
constexpr const char* kErrEndOfScript = "Unexpected end of script!";
constexpr const char* kErrGAIndex = "Invalid GAindex! must be in the range 1 - 999";
constexpr const char* kErrExpectedDot = "Expected '.' after ActorAccess";
constexpr const char* kErrExpectedOpen = "ParseParamRecursive() _1_ Expected '('";
constexpr const char* kErrCommandOpen = "ParseParamRecursive() _2_ Expected '('";
constexpr const char* kErrExpectedClose = "ParseParamRecursive() Expected ')'";
constexpr const char* kErrAccessType = "Checking ActorAccessType: Parse Sync Error!";
constexpr const char* kErrTooManyParams = "To many params, Expected ')' Parse Sync Error!";
constexpr const char* kErrExpectedSemicolon = "Expected ';' Parse Sync Error!";
constexpr const char* kErrSyncClose = "Expected ')' Parse Sync Error!";
constexpr const char* kErrStringStart = "ParseParamRecursive() Unexpected start of string";
constexpr const char* kErrCommandValue = "ParseParamRecursive() QV_CMDD_COMMAND Expected a '('";
constexpr const char* kErrForbiddenPoint = "ParseParamRecursive() FORBIDDEN POINT";
constexpr const char* kErrNoSuchCommand = "Parse_CommandID() No such Command! FORBIDDEN POINT";
// Cases the language leaves open: values the code cannot carry are refused
// rather than compiled into code that the interpreter would misread.
constexpr const char* kErrNoPlainValue = "ParseParamRecursive() Expected '(' for this value";
constexpr const char* kErrStringTooLong = "ParseParamRecursive() String too long!";
constexpr const char* kErrNesting = "ParseParamRecursive() Too deeply nested!";
constexpr const char* kErrCodeSize = "Script too large!";

constexpr uint32_t kString128Size = 128;
// Arguments nest as commands inside commands and values inside values.
constexpr int kMaxArgumentDepth = 32;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class ScriptParser {
public:
    ScriptParser(const char* source, ScriptBuffer* out, CQVActor* owner)
        : text(source), size(static_cast<uint32_t>(std::strlen(source))), code(out), owner(owner)
    {
    }

    int Compile();

    const char* error = nullptr;
    uint32_t errorPosition = 0;

private:
    char Peek(uint32_t ahead = 0) const { return pos + ahead < size ? text[pos + ahead] : '\0'; }
    bool AtEnd() const { return pos >= size; }
    bool StartsWith(const char* prefix) const
    {
        const size_t n = std::strlen(prefix);
        return size - pos >= n && std::memcmp(text + pos, prefix, n) == 0;
    }

    bool Fail(const char* message)
    {
        if (!error) {
            error = message;
            errorPosition = pos;
        }
        g_ScriptAbort = 1;
        return false;
    }

    bool Put(const void* bytes, uint32_t count) { return code->Append(bytes, count) || Fail(kErrCodeSize); }
    bool PutWord(uint32_t word) { return Put(&word, sizeof word); }
    bool PutByte(uint8_t byte) { return Put(&byte, 1); }
    bool PutString(const char* chars, uint32_t length) { return Put(chars, length) && PutByte(0); }

    bool SkipBlanksAndComments();
    bool CompileStatement();
    bool CompileOperand(const char* word, uint32_t length, uint8_t* kind);
    bool Parse_CommandID(bool silent, uint32_t* id, std::string* keyword = nullptr);
    bool ParseParamRecursive(uint32_t type, int depth);
    bool ParseArguments(uint32_t commandId, int depth);
    bool ExpectClose();
    bool PlainValue(uint32_t type, uint32_t start, uint32_t end);

    const char* text;
    uint32_t size;
    uint32_t pos = 0;
    ScriptBuffer* code;
    CQVActor* owner;
};

// False when a comment runs to the end of the text without its end.
bool ScriptParser::SkipBlanksAndComments()
{
    for (;;) {
        while (pos < size && IsBlank(text[pos]))
            ++pos;
        if (StartsWith("//")) {
            const void* end = std::memchr(text + pos + 2, '\n', size - pos - 2);
            if (!end) {
                pos = size;
                return false;
            }
            pos = static_cast<uint32_t>(static_cast<const char*>(end) - text) + 1;
        } else if (StartsWith("/*")) {
            const char* end = nullptr;
            for (uint32_t i = pos + 2; i + 1 < size; ++i) {
                if (text[i] == '*' && text[i + 1] == '/') {
                    end = text + i;
                    break;
                }
            }
            if (!end) {
                pos = size;
                return false;
            }
            pos = static_cast<uint32_t>(end - text) + 2;
        } else {
            return true;
        }
    }
}

int ScriptParser::Compile()
{
    for (;;) {
        if (!SkipBlanksAndComments()) {
            // The statements before the open comment stay and run.
            Fail(kErrCommentEnd);
            return PutWord(SCRIPT_END) ? 1 : 0;
        }
        if (AtEnd())
            return PutWord(SCRIPT_END) ? 1 : 0;
        if (!CompileStatement())
            return 0;
    }
}

// operand '.' name '(' arguments ')' ';'
bool ScriptParser::CompileStatement()
{
    uint8_t flag = SCRIPT_OPERAND_PLAIN;
    if (StartsWith("[safe]")) {
        flag = SCRIPT_OPERAND_SAFE;
        pos += 6;
    }
    const uint32_t start = pos;
    while (pos < size && text[pos] != '.' && text[pos] != ' ' && text[pos] != ',' && text[pos] != ')')
        ++pos;
    if (AtEnd())
        return Fail(kErrEndOfScript);
    uint8_t kind = 0;
    if (!PutByte(flag) || !CompileOperand(text + start, pos - start, &kind))
        return false;

    if (Peek() != '.')
        return Fail(kErrExpectedDot);
    ++pos;
    if (AtEnd())
        return Fail(kErrEndOfScript);

    bool safeName = false;
    if (StartsWith("[safe]")) {
        safeName = true;
        pos += 6;
    }
    uint32_t id = 0;
    std::string blockName;
    if (!Parse_CommandID(true, &id, &blockName))
        return false;
    if (Peek() != '(')
        return Fail(kErrExpectedOpen);
    ++pos;

    if (id != 0) {
        if (!PutWord(id) || !ParseArguments(id, 0))
            return false;
    } else {
        switch (kind) {
        case OPERAND_THIS: {
            ScriptLookupArgs lookup{blockName.c_str(), nullptr};
            owner->HandleMessage(MSG_FIND_SCRIPT, Args_Of(&lookup));
            if (!PutWord(SCRIPT_CALL_OWN_BLOCK) || !PutWord(lookup.script ? lookup.script->serial : 0))
                return false;
            break;
        }
        case OPERAND_LOCAL:
        case OPERAND_PATH:
        case OPERAND_LOCAL_PATH:
            if (!PutWord(safeName ? SCRIPT_CALL_SAFE_BLOCK : SCRIPT_CALL_BLOCK) ||
                !PutString(blockName.data(), static_cast<uint32_t>(blockName.size())))
                return false;
            break;
        default:
            return Fail(kErrAccessType);
        }
    }

    while (pos < size && (text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r'))
        ++pos;
    if (Peek() == ',')
        return Fail(kErrTooManyParams);
    if (Peek() != ')')
        return Fail(kErrSyncClose);
    ++pos;
    if (Peek() != ';')
        return Fail(kErrExpectedSemicolon);
    ++pos;
    return true;
}

// An operand word: this, local, local/<path>, [ga]GA<n>[/<path>], sys or a path.
bool ScriptParser::CompileOperand(const char* word, uint32_t length, uint8_t* kind)
{
    const std::string operand(word, length);
    if (operand == "this") {
        *kind = OPERAND_THIS;
        return PutByte(*kind);
    }
    if (operand == "local") {
        *kind = OPERAND_LOCAL;
        return PutByte(*kind);
    }
    if (operand == "sys") {
        *kind = OPERAND_SYSTEM;
        return PutByte(*kind);
    }
    if (operand.compare(0, 6, "local/") == 0) {
        *kind = OPERAND_LOCAL_PATH;
        return PutByte(*kind) && PutString(word + 6, length - 6);
    }
    if (operand.compare(0, 4, "[ga]") == 0) {
        uint32_t digits = 0;
        uint32_t slot = 0;
        if (operand.compare(4, 2, "GA") == 0) {
            while (6 + digits < length && IsDigit(operand[6 + digits]) && digits < 4) {
                slot = slot * 10 + static_cast<uint32_t>(operand[6 + digits] - '0');
                ++digits;
            }
        }
        if (digits == 0 || digits > 3 || slot < 1 || slot > 999)
            return Fail(kErrGAIndex);
        const uint32_t rest = 6 + digits;
        if (rest < length && operand[rest] == '/') {
            *kind = OPERAND_GA_PATH;
            return PutByte(*kind) && PutWord(slot) && PutString(word + rest + 1, length - rest - 1);
        }
        *kind = OPERAND_GA;
        return PutByte(*kind) && PutWord(slot);
    }
    *kind = OPERAND_PATH;
    return PutByte(*kind) && PutString(word, length);
}

// Reads a keyword (up to a blank, ')', ',', '(' or the end), skips blanks
// and comments after it and looks it up; an unknown keyword gives 0, and an
// error unless silent.
bool ScriptParser::Parse_CommandID(bool silent, uint32_t* id, std::string* keywordOut)
{
    const uint32_t start = pos;
    while (pos < size && !IsBlank(text[pos]) && text[pos] != ')' && text[pos] != ',' && text[pos] != '(')
        ++pos;
    const std::string keyword(text + start, pos - start);
    if (keywordOut)
        *keywordOut = keyword;
    if (!SkipBlanksAndComments())
        return Fail(kErrCommentEnd);
    *id = FindCommandByKeyword(keyword.c_str());
    if (*id == 0 && !silent) {
        pos = start;
        return Fail(kErrNoSuchCommand);
    }
    return true;
}

bool ScriptParser::ParseArguments(uint32_t commandId, int depth)
{
    for (uint32_t type : GetCommandDesc(commandId).argTypes) {
        if (!ParseParamRecursive(type, depth + 1))
            return false;
    }
    return true;
}

bool ScriptParser::ExpectClose()
{
    if (!SkipBlanksAndComments())
        return Fail(kErrCommentEnd);
    if (Peek() != ')')
        return Fail(kErrExpectedClose);
    ++pos;
    return true;
}

bool ScriptParser::ParseParamRecursive(uint32_t type, int depth)
{
    if (depth > kMaxArgumentDepth)
        return Fail(kErrNesting);
    if (!SkipBlanksAndComments())
        return Fail(kErrCommentEnd);
    if (Peek() == ',') {
        ++pos;
        if (!SkipBlanksAndComments())
            return Fail(kErrCommentEnd);
    }

    const uint32_t start = pos;
    auto scanTo = [this](const char* stops) {
        while (pos < size && !std::strchr(stops, text[pos]))
            ++pos;
    };
    scanTo("\"().,");
    if (type == VT_REAL && Peek() == '.') {
        // A decimal point belongs to a number: -12.5 and .5 are one token.
        bool number = true;
        for (uint32_t i = start; i < pos; ++i)
            number = number && (IsDigit(text[i]) || text[i] == '-');
        if (number) {
            ++pos;
            scanTo("().,");
        }
    }

    switch (Peek()) {
    case '"': {
        if (pos != start || (type != VT_STRING128 && type != VT_STRINGPTR && type != VT_STRING))
            return Fail(kErrStringStart);
        ++pos;
        const uint32_t literal = pos;
        scanTo("\"");
        const uint32_t length = pos - literal;
        if (!AtEnd())
            ++pos;
        if (!PutWord(SCRIPT_ARG_VALUE))
            return false;
        if (type == VT_STRING128) {
            if (length >= kString128Size)
                return Fail(kErrStringTooLong);
            char slot[kString128Size] = {};
            std::memcpy(slot, text + literal, length);
            return Put(slot, kString128Size);
        }
        return PutString(text + literal, length);
    }
    case '(':
        if (type == VT_COMMAND) {
            pos = start;
            uint32_t id = 0;
            if (!PutWord(SCRIPT_ARG_COMMAND) || !Parse_CommandID(false, &id) || !PutWord(id))
                return false;
            if (Peek() != '(')
                return Fail(kErrCommandOpen);
            ++pos;
            return ParseArguments(id, depth) && ExpectClose();
        }
        // A value given member by member, as in (1.0, 2.0, 3.0).
        ++pos;
        if (!PutWord(SCRIPT_ARG_MEMBERS))
            return false;
        for (uint32_t member : GetValueType(type).members) {
            if (!ParseParamRecursive(member, depth + 1))
                return false;
        }
        return ExpectClose();
    case ')':
    case ',':
        return PlainValue(type, start, pos);
    default:
        return Fail(kErrForbiddenPoint);
    }
}

// A token that ends at ')' or ','; the delimiter stays for the caller.
bool ScriptParser::PlainValue(uint32_t type, uint32_t start, uint32_t end)
{
    const std::string token(text + start, end - start);
    switch (type) {
    case VT_UINT32:
    case VT_INT32:
    case VT_BOOL: {
        const int32_t value = std::atoi(token.c_str());
        return PutWord(SCRIPT_ARG_VALUE) && Put(&value, sizeof value);
    }
    case VT_REAL: {
        const float value = static_cast<float>(std::atof(token.c_str()));
        return PutWord(SCRIPT_ARG_VALUE) && Put(&value, sizeof value);
    }
    case VT_STRING128: {
        if (token.size() >= kString128Size)
            return Fail(kErrStringTooLong);
        char slot[kString128Size] = {};
        std::memcpy(slot, token.data(), token.size());
        return PutWord(SCRIPT_ARG_VALUE) && Put(slot, kString128Size);
    }
    case VT_STRINGPTR:
    case VT_STRING:
        return PutWord(SCRIPT_ARG_VALUE) && PutString(token.data(), static_cast<uint32_t>(token.size()));
    case VT_COMMANDID: {
        pos = start;
        uint32_t id = 0;
        return PutWord(SCRIPT_ARG_VALUE) && Parse_CommandID(false, &id) && PutWord(id);
    }
    case VT_ACTORPOINTER:
    case VT_ACTORPOINTEREXT: {
        uint32_t at = 0;
        uint8_t flag = SCRIPT_OPERAND_PLAIN;
        if (token.compare(0, 6, "[safe]") == 0) {
            flag = SCRIPT_OPERAND_SAFE;
            at = 6;
        }
        uint32_t wordEnd = at;
        while (wordEnd < token.size() && token[wordEnd] != ' ')
            ++wordEnd;
        uint8_t kind = 0;
        const uint32_t saved = pos;
        pos = start + at;  // errors in the operand point at it
        const bool done = PutWord(SCRIPT_ARG_VALUE) && PutByte(flag) &&
                          CompileOperand(token.data() + at, wordEnd - at, &kind);
        if (done)
            pos = saved;
        return done;
    }
    case VT_COMMAND:
        return Fail(kErrCommandValue);
    default:
        return Fail(kErrNoPlainValue);
    }
}

}  // namespace

int CQVScript::Compile(CQVActor* compileOwner, const char** errorText, uint32_t* errorPosition)
{
    const char* message = nullptr;
    uint32_t at = 0;
    int result = 0;
    if (!compileOwner) {
        message = kErrNoOwner;
        g_ScriptAbort = 1;
    } else {
        code.Clear();
        ScriptParser parser(source.c_str(), &code, compileOwner);
        result = parser.Compile();
        message = parser.error;
        at = parser.errorPosition;
        if (!result)
            code.Clear();
    }
    if (errorText)
        *errorText = message;
    if (errorPosition)
        *errorPosition = at;
    return result;
}
