#include "kernel/base/TextTable.h"

#include "kernel/base/FileSystem.h"

#include <new>

CQVTextTable* g_TextTable = nullptr;

namespace {

// Longest field a line may hold: fields are read into a 4,096-byte buffer
// with its terminator.
constexpr size_t kMaxField = 4095;

void ReadWholeFile(CQVFileSystem* fs, void* handle, std::string* out) {
    char chunk[65536];
    for (;;) {
        const uint32_t got = fs->Read(chunk, 1, sizeof(chunk), handle);
        out->append(chunk, got);
        if (got < sizeof(chunk)) return;
    }
}

// The file is read as a text stream: CR LF line ends come in as LF.
std::string ToTextLineEnds(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text.push_back(bytes[i]);
    }
    return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A character stream over the file's text. Once a read runs into the end
// (or fails) every later read fails too, as with a stream whose state is set.
class TextReader {
public:
    explicit TextReader(const std::string& text) : text_(text) {}

    bool Good() const { return !ended_; }

    // The leading number: blanks, an optional sign, digits. Its value is not used.
    void SkipNumber() {
        if (ended_) return;
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
        const size_t digits = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
        if (pos_ == digits) ended_ = true;
    }

    // Everything up to the next '}', which is consumed and not kept. A field
    // of 4,096 characters or more ends the reading.
    bool ReadField(std::string* field) {
        if (ended_) return false;
        const size_t close = text_.find('}', pos_);
        if (close == std::string::npos) {
            ended_ = true;
            return false;
        }
        if (close - pos_ > kMaxField) {
            ended_ = true;
            return false;
        }
        field->assign(text_, pos_, close - pos_);
        pos_ = close + 1;
        return true;
    }

    // The rest of the line, up to and including the line feed.
    bool SkipLine() {
        if (ended_) return false;
        const size_t feed = text_.find('\n', pos_);
        if (feed == std::string::npos) {
            ended_ = true;
            return false;
        }
        pos_ = feed + 1;
        return true;
    }

private:
    const std::string& text_;
    size_t pos_ = 0;
    bool ended_ = false;
};

// The character written just before the '}' (usually a blank) is not part
// of the field.
void DropLastCharacter(std::string* field) {
    if (!field->empty()) field->pop_back();
}

}  // namespace

bool CQVTextTable::Create() {
    if (g_TextTable == nullptr) g_TextTable = new (std::nothrow) CQVTextTable;
    return g_TextTable != nullptr;
}

CQVTextTable* CQVTextTable::GetInstance() { return g_TextTable; }

int CQVTextTable::Load(const char* filePath) {
    pairs.clear();
    CQVFileSystem* fs = FileSystem_GetCurrent();
    void* handle = fs->Open(filePath, "rb");
    if (handle == nullptr) return 0;
    path = filePath;
    std::string bytes;
    ReadWholeFile(fs, handle, &bytes);
    fs->Close(handle);

    const std::string text = ToTextLineEnds(bytes);
    TextReader reader(text);
    reader.SkipNumber();
    reader.SkipLine();
    while (reader.Good()) {
        TextPair pair;
        reader.ReadField(&pair.key);
        reader.SkipLine();
        reader.ReadField(&pair.text);
        reader.SkipLine();
        if (!reader.Good()) break;
        DropLastCharacter(&pair.key);
        DropLastCharacter(&pair.text);
        pairs.push_back(std::move(pair));
    }
    return 1;
}

std::string CQVTextTable::GetText(const std::string& key) {
    for (const TextPair& pair : pairs) {
        if (pair.key == key) return pair.text;
    }
    pairs.push_back(TextPair{key, key});
    return key;
}
