#pragma once

#include <QString>

#include <string>
#include <string_view>

class QByteArray;
class QIODevice;

/*!
 * Streams JSON text to a device through a buffer. The caller lays out the text (brackets, keys and
 * the separators between elements, such as one row per line so that large files stay readable);
 * the writer puts the commas between an object's fields and escapes strings.
 *
 *     JsonWriter out(&file);
 *     out.open("{"); out.key("id"); out.integer(7); out.close("}");
 *     if (!out.finish()) ... file.errorString()
 */
class JsonWriter
{
public:
    explicit JsonWriter(QIODevice* device);

    /// False when the device refused a write (a full disk, a size limit); its errorString() then says why.
    bool finish();
    qint64 bytesWritten() const { return m_written; }
    void key(const char* name);
    void string(const QString& value);
    /// A text known to need no escapes, such as a row type's name.
    void plainString(std::string_view text);
    /// False, writing nothing, for a number that is not finite: JSON has no text for it.
    bool number(double value);
    void integer(qint64 value);
    void boolean(bool value) { append(value ? "true" : "false"); }
    void null() { append("null"); }
    void open(const char* bracket);
    void close(const char* bracket);
    /// Text between two elements of an array.
    void separate(const char* separator);

private:
    static constexpr size_t bufferSize = 1 << 20;

    bool asciiString(const QString& value);
    void utf8String(const QByteArray& utf8);
    void append(const char* text);
    void flush();

    QIODevice* m_device; // not owned
    std::string m_buffer;
    qint64 m_written = 0;
    bool m_needsComma = false;
    bool m_failed = false;
};
