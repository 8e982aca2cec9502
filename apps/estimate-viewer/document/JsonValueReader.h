#pragma once

#include "JsonPlace.h"
#include "TextPosition.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <simdjson.h>

#include <climits>
#include <string_view>

/*!
 * Typed reads over the On Demand parser that remember the first problem together with where it
 * was met. Each read answers false once something is wrong; problem() then says what and where.
 * Places and line numbers are those of the whole file, also when this reads a part of it.
 *
 *     JsonValueReader in(file, fileLength, text, length);
 *     ondemand::value root;
 *     if (in.iterate(parser, capacity) != SUCCESS || !in.intNumber(value, place, &number)) ...
 */
class JsonValueReader
{
public:
    using error_code = simdjson::error_code;
    using value = simdjson::ondemand::value;

    /// Reads `text`, a part of `file` (or all of it); `skipped` sums up a start of the file already handed back.
    JsonValueReader(const char* file, size_t fileLength, const char* text, size_t length, const TextStart* skipped);

    /// Starts reading the text with `parser`; the text's buffer holds `capacity` bytes (its padding included).
    error_code iterate(simdjson::ondemand::parser& parser, size_t capacity);
    /// Forgets the document read last, whose parser is about to go.
    void forgetDocument() { m_iterated = false; }
    simdjson::ondemand::document& document() { return m_document; }
    /// Where the parser is in the text, or null past its end.
    const char* currentLocation();

    const QString& problem() const { return m_problem; }
    /// Always false: remembers a problem found by the caller.
    bool setProblem(const QString& problem);
    bool fail(const JsonPlace& place, const QString& problem);
    bool syntaxError(error_code code);
    bool syntaxErrorAt(const char* location, error_code code);
    /// True for SUCCESS; otherwise the problem, worded as a wrong type (`expected`) where it is one.
    bool check(error_code code, const JsonPlace& place, const char* expected);
    bool missing(const JsonPlace& place, bool present);

    bool wholeNumber(value& value, const JsonPlace& place, qint64 lowest, qint64 highest, qint64* number);
    bool intNumber(value& value, const JsonPlace& place, int* number, int lowest = INT_MIN);
    bool finiteNumber(value& value, const JsonPlace& place, double* number);
    /// `repeats`: the same text recurs on many rows, which then share one copy of it.
    bool text(value& value, const JsonPlace& place, QString* text, bool repeats = false);
    bool flag(value& value, const JsonPlace& place, bool* flag);
    /// Reads and drops a value no field uses, checking that it is valid JSON all the same.
    bool unusedValue(value& value);

    /// Calls readField(key, value) for every field of an object, in file order.
    template<typename ReadField>
    bool fields(value& value, const JsonPlace& place, ReadField readField);
    /// Calls readElement(value, position) for every element of an array.
    template<typename ReadElement>
    bool elements(value& value, const JsonPlace& place, ReadElement readElement);

private:
    bool notTheNumber(value& value, const JsonPlace& place, const char* expected);
    QString sharedText(std::string_view text);
    static error_code keyOf(simdjson::ondemand::field& field, std::string_view* key);

    const char* m_file; // the whole file, which places and line numbers refer to
    size_t m_fileLength;
    const char* m_text; // the part of it read here
    size_t m_length;
    const TextStart* m_skipped; // the file's start that line numbers count from
    simdjson::ondemand::document m_document;
    bool m_iterated = false;
    simdjson::dom::parser m_unusedParser; // checks the arrays and objects of fields no one uses
    QHash<QByteArray, QString> m_texts;
    QString m_problem;
};

template<typename ReadField>
bool JsonValueReader::fields(value& value, const JsonPlace& place, ReadField readField)
{
    simdjson::ondemand::object object;
    if (!check(value.get_object().get(object), place, "expected an object"))
        return false;
    for (auto entry : object) {
        simdjson::ondemand::field field;
        std::string_view key;
        if (!check(std::move(entry).get(field), place, "expected a field") || !check(keyOf(field, &key), place, "expected a key"))
            return false;
        if (!readField(key, field.value()))
            return false;
    }
    return true;
}

template<typename ReadElement>
bool JsonValueReader::elements(value& value, const JsonPlace& place, ReadElement readElement)
{
    simdjson::ondemand::array array;
    if (!check(value.get_array().get(array), place, "expected an array"))
        return false;
    int position = 0;
    for (auto entry : array) {
        simdjson::ondemand::value element;
        if (!check(std::move(entry).get(element), place, "expected a value") || !readElement(element, position++))
            return false;
    }
    return true;
}
