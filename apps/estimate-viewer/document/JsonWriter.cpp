#include "JsonWriter.h"

#include <QByteArray>
#include <QIODevice>

#include <charconv>
#include <cmath>
#include <cstdio>

JsonWriter::JsonWriter(QIODevice* device) : m_device(device)
{
    m_buffer.reserve(bufferSize + 4096);
}

bool JsonWriter::finish()
{
    flush();
    return !m_failed;
}

void JsonWriter::key(const char* name)
{
    append(m_needsComma ? ",\"" : "\"");
    append(name);
    append("\":");
    m_needsComma = true;
}

void JsonWriter::string(const QString& value)
{
    if (!asciiString(value))
        utf8String(value.toUtf8());
}

void JsonWriter::plainString(std::string_view text)
{
    m_buffer += '"';
    m_buffer += text;
    m_buffer += '"';
}

// Writes plain ASCII text without converting it first (most cells are); false, writing nothing, otherwise.
bool JsonWriter::asciiString(const QString& value)
{
    const size_t start = m_buffer.size();
    m_buffer += '"';
    for (const QChar character : value) {
        const ushort unit = character.unicode();
        if (unit >= 0x80 || unit < 0x20 || unit == '"' || unit == '\\') {
            m_buffer.resize(start);
            return false;
        }
        m_buffer += char(unit);
    }
    m_buffer += '"';
    return true;
}

void JsonWriter::utf8String(const QByteArray& utf8)
{
    append("\"");
    const char* run = utf8.constData();
    for (const char* at = run; at != utf8.constEnd(); ++at) {
        const uchar byte = uchar(*at);
        if (byte >= 0x20 && byte != '"' && byte != '\\')
            continue;
        m_buffer.append(run, size_t(at - run));
        char escape[8];
        std::snprintf(escape, sizeof escape, byte < 0x20 ? "\\u%04x" : "\\%c", byte);
        append(escape);
        run = at + 1;
    }
    m_buffer.append(run, size_t(utf8.constEnd() - run));
    append("\"");
}

bool JsonWriter::number(double value)
{
    if (!std::isfinite(value))
        return false;
    char text[32];
    m_buffer.append(text, size_t(std::to_chars(text, text + sizeof text, value).ptr - text));
    return true;
}

void JsonWriter::integer(qint64 value)
{
    char text[24];
    m_buffer.append(text, size_t(std::to_chars(text, text + sizeof text, value).ptr - text));
}

void JsonWriter::open(const char* bracket)
{
    append(bracket);
    m_needsComma = false;
}

void JsonWriter::close(const char* bracket)
{
    append(bracket);
    m_needsComma = true;
}

void JsonWriter::separate(const char* separator)
{
    append(separator);
    m_needsComma = false;
}

void JsonWriter::append(const char* text)
{
    m_buffer.append(text);
    if (m_buffer.size() >= bufferSize)
        flush();
}

// A short write sets no error: writing the rest again either goes on or fails with the reason.
void JsonWriter::flush()
{
    for (size_t done = 0; !m_failed && done < m_buffer.size();) {
        const qint64 written = m_device->write(m_buffer.data() + done, qint64(m_buffer.size() - done));
        m_failed = written <= 0;
        done += size_t(qMax<qint64>(written, 0));
        m_written += qMax<qint64>(written, 0);
    }
    m_buffer.clear();
}
