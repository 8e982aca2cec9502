#include "CsvExport.h"

#include "ShownTable.h"

#include <QLocale>
#include <QSaveFile>
#include <QTextStream>

namespace {
void writeLine(QTextStream& out, const QStringList& fields)
{
    QStringList quoted;
    for (const QString& field : fields)
        quoted.append(CsvExport::quote(field));
    out << quoted.join(QLatin1Char(',')) << "\r\n";
}
}

bool CsvExport::write(const QTableView& view, const QString& path, QString* error)
{
    return write(ShownTable(view), path, error);
}

bool CsvExport::write(const ShownTable& table, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QObject::tr("%1: cannot write: %2").arg(path, file.errorString());
        return false;
    }
    QTextStream out(&file);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    out.setCodec("UTF-8"); // Qt 6 streams write UTF-8 unless told otherwise
#endif
    QStringList fields;
    for (const ShownTable::Column& column : table.columns())
        fields.append(column.title);
    writeLine(out, fields);
    table.forEachRow([&](const ShownTable::Row& row) {
        if (!row.shown)
            return true;
        fields.clear();
        for (const ShownTable::Column& column : table.columns())
            fields.append(CsvExport::fieldText(ShownTable::value(row, column)));
        writeLine(out, fields);
        return true;
    });
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit()) {
        *error = QObject::tr("%1: cannot write: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString CsvExport::quote(const QString& field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) && !field.contains(QLatin1Char('\n'))
        && !field.contains(QLatin1Char('\r')))
        return field;
    QString quoted = field;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString CsvExport::fieldText(const QVariant& value)
{
    if (value.userType() == QMetaType::Double) // the shortest text that reads back as the same number
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    return value.toString();
}
