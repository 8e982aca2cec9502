#include "TextPosition.h"

#include <cstring>

namespace {

int characters(const char* text, size_t from, size_t to)
{
    int count = 0;
    for (size_t at = from; at < to; ++at)
        count += (uchar(text[at]) & 0xC0) != 0x80; // characters, not UTF-8 bytes
    return count;
}

// Bytes a UTF-8 sequence starting with this byte continues over, or -1 for a byte no sequence starts with.
int utf8Continuations(uchar lead)
{
    if (lead < 0x80)
        return 0;
    if (lead >= 0xC2 && lead < 0xE0)
        return 1;
    if (lead >= 0xE0 && lead < 0xF0)
        return 2;
    return lead >= 0xF0 && lead < 0xF5 ? 3 : -1;
}

} // namespace

TextStart summarize(const char* text, size_t length, const TextStart& before)
{
    TextStart start{length, before.newlines, 0};
    for (const char* at = text + before.length; (at = static_cast<const char*>(memchr(at, '\n', size_t(text + length - at))));
         ++at)
        ++start.newlines; // memchr skips a row's bytes many at a time
    const void* lastNewline = memrchr(text + before.length, '\n', length - before.length);
    const size_t lineStart = lastNewline ? size_t(static_cast<const char*>(lastNewline) - text) + 1 : before.length;
    start.lastLineCharacters = (lastNewline ? 0 : before.lastLineCharacters) + characters(text, lineStart, length);
    return start;
}

QString lineAndColumn(const char* text, size_t offset, const TextStart& skipped)
{
    const TextStart upToOffset = summarize(text, offset, skipped);
    return QStringLiteral("line %1, column %2").arg(upToOffset.newlines + 1).arg(upToOffset.lastLineCharacters + 1);
}

size_t firstBadTextOffset(const char* text, size_t length)
{
    bool inString = false;
    size_t stringStart = 0;
    for (size_t at = 0; at < length; ++at) {
        const uchar byte = uchar(text[at]);
        const int continuations = utf8Continuations(byte);
        if ((inString && byte < 0x20) || continuations < 0)
            return at;
        for (int next = 1; next <= continuations; ++next) {
            if (at + next >= length || (uchar(text[at + next]) & 0xC0) != 0x80)
                return at;
        }
        at += continuations;
        if (byte == '"') {
            inString = !inString;
            stringStart = at;
        } else if (inString && byte == '\\') {
            ++at;
        }
    }
    return inString ? stringStart : length;
}
