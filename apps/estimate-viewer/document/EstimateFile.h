#pragma once

#include "LoadProgress.h"
#include "TextPosition.h"

#include <QString>

#include <cstddef>

namespace simdjson {
struct padded_string;
}

/// Reads a whole file into a buffer with the parser's padding. Anything but a regular file is refused:
/// a FIFO with no writer would block the read for ever. False, with the reason in `problem`, otherwise.
bool loadEstimateFile(const QString& path, simdjson::padded_string* text, LoadProgress* progress, QString* problem);

/// Gives the whole pages of text between the two ends back to the system: a file of a million rows,
/// once read, need not stay in memory whole. The text's bytes there read as zeros afterwards.
void discardReadPages(const char* from, const char* to);

/// Hands the text of a file from where `readStart` ends up to `end` back to the system, once it is read,
/// after summing it up into `readStart`: only its line count is needed again, for an error further on.
void forgetReadText(const char* file, const char* end, TextStart* readStart);
