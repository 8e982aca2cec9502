#pragma once

#include <QString>

#include <cstddef>

/// The start of a file summed up, so that its bytes can be handed back to the system once read
/// and a line and column further on can still be named.
struct TextStart
{
    size_t length = 0;
    int newlines = 0;
    int lastLineCharacters = 0; // characters after the last newline
};

/// The first `length` bytes of `text` summed up; `before` sums up a start of them already counted.
TextStart summarize(const char* text, size_t length, const TextStart& before);

/// "line 3, column 7" for a byte offset into `text`; `skipped` sums up a start of it already counted.
QString lineAndColumn(const char* text, size_t offset, const TextStart& skipped);

/// The offset of the first raw control character in a string, unclosed string or byte of bad UTF-8,
/// or `length` when there is none: the parser's first pass names no place for these.
size_t firstBadTextOffset(const char* text, size_t length);
