// Any bytes as a file of the front ends: as text, the tokenizer's lines and
// a menu description or router file read from them end; as a picture, a
// BMP is refused or read whole and copies into a composition picture at
// any place; as a cursor or icon, it is refused or gives its pixels.

#include "frontends/common/Tokenizer.h"
#include "frontends/launcher/Bitmap.h"
#include "frontends/launcher/ShellContext.h"
#include "fuzz/files/FuzzCheck.h"
#include "platform/image/IconReader.h"

#include <cstdint>
#include <cstdio>

namespace {

std::FILE* Stream(const uint8_t* data, size_t size) {
    return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;

    std::FILE* text = Stream(data, size);
    CQVTokenizer tokens;
    tokens.Read(text, " =");
    std::fclose(text);
    ShellContext context;
    context.ParseTokens(tokens);
    Check(context.movieFiles.size() <= static_cast<uint32_t>(context.movieCount));
    Check(context.buttonFiles.size() <= static_cast<uint32_t>(context.buttonCount));
    // A pass over every token ends with null and starts again.
    size_t count = 0;
    while (tokens.NextToken() != nullptr) Check(++count <= size);

    std::FILE* picture = Stream(data, size);
    CQVBitmap bitmap;
    if (bitmap.LoadFromStream(picture)) {
        Check(bitmap.HasBits());
        Check(bitmap.GetStride() * static_cast<size_t>(bitmap.GetHeight()) <= size);
        CQVBitmap target;
        Check(target.CreateFrom(&bitmap));
        for (int place : {0, -3, 5}) bitmap.DrawTo(&target, place * bitmap.GetWidth() / 4, place);
    }
    std::fclose(picture);

    IconPicture icon;
    std::string error;
    if (Image_DecodeIcon(data, size, 32, &icon, &error)) {
        Check(icon.pixels.size() == size_t{icon.width} * icon.height);
    } else {
        Check(!error.empty());
    }
    return 0;
}
