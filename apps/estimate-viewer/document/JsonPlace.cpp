#include "JsonPlace.h"

JsonPlace JsonPlace::at(const char* fieldKey, int itemPos) const
{
    JsonPlace place = *this;
    place.key = fieldKey;
    place.item = itemPos;
    return place;
}

QString JsonPlace::text() const
{
    QString text = work < 0 ? QString::fromLatin1(scope) : QStringLiteral("works[%1]").arg(work);
    if (table >= 0)
        text += QStringLiteral(".tables[%1]").arg(table);
    if (row >= 0)
        text += QStringLiteral(".rows[%1]").arg(row);
    if (key)
        text += QLatin1Char('.') + QLatin1String(key);
    if (item >= 0)
        text += QStringLiteral("[%1]").arg(item);
    return text;
}

QString printable(std::string_view text)
{
    constexpr int shown = 40;
    const QString decoded = QString::fromUtf8(text.data(), int(qMin<size_t>(text.size(), 4 * shown)));
    QString printed;
    for (int at = 0; at < decoded.size() && at < shown; ++at) {
        const QChar character = decoded.at(at);
        const bool visible = character.isPrint() && (character == QLatin1Char(' ') || !character.isSpace());
        printed += visible ? QString(character) : QStringLiteral("\\u%1").arg(character.unicode(), 4, 16, QLatin1Char('0'));
    }
    return decoded.size() > shown || text.size() > 4 * shown ? printed + QChar(0x2026) : printed;
}
