#pragma once

#include "JsonPlace.h"
#include "JsonValueReader.h"
#include "LoadedRow.h"

#include <string_view>

class BaseDataItem;
class JsonWriter;

/// The value of a file's "format" field.
extern const char estimateFormatName[];

/// Reads a row's field `key` into `loaded`. `nextField` carries the field expected next from one
/// call to the next (start it at 0 for each row): rows written here keep one order of fields.
bool readRowField(JsonValueReader& in, std::string_view key, JsonValueReader::value& value, const JsonPlace& rowPlace,
                  LoadedRow& loaded, int* nextField);
/// Writes a row as one object, its level being `depth`; false, with the reason, for a value JSON cannot hold.
bool writeRow(JsonWriter& out, BaseDataItem* row, int depth, const JsonPlace& place, QString* problem);
