#pragma once

#include <QString>

#include <string_view>

/// Where in an estimate something was met; put into words only when something is wrong there:
/// "works[0].tables[1].rows[17].parent".
struct JsonPlace
{
    const char* scope = "top level"; // named above the works
    int work = -1;
    int table = -1;
    int row = -1;
    const char* key = nullptr; // a text that outlives the place
    int item = -1; // element of an array field

    /// This place's field `fieldKey`, or its element `itemPos`.
    JsonPlace at(const char* fieldKey, int itemPos = -1) const;
    QString text() const;
};

/// Text from the file for a message: bounded, with control and invisible characters spelt as escapes.
QString printable(std::string_view text);
