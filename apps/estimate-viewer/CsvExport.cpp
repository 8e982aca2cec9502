#include "CsvExport.h"

#include <QHeaderView>
#include <QLocale>
#include <QSaveFile>
#include <QTableView>
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
    const QAbstractItemModel* model = view.model();
    QSaveFile file(path);
    if (!model || !file.open(QIODevice::WriteOnly)) {
        *error = QObject::tr("%1: cannot write: %2").arg(path, file.errorString());
        return false;
    }
    QTextStream out(&file);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    out.setCodec("UTF-8"); // Qt 6 streams write UTF-8 unless told otherwise
#endif
    const QList<int> columns = CsvExport::shownColumns(view);
    QStringList fields;
    for (int column : columns)
        fields.append(model->headerData(column, Qt::Horizontal).toString());
    writeLine(out, fields);
    for (int row = 0; row < model->rowCount(); ++row) {
        if (view.isRowHidden(row))
            continue;
        fields.clear();
        for (int column : columns)
            fields.append(CsvExport::fieldText(model->index(row, column).data(Qt::EditRole)));
        writeLine(out, fields);
    }
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

QList<int> CsvExport::shownColumns(const QTableView& view)
{
    QList<int> columns;
    const QHeaderView* header = view.horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!view.isColumnHidden(logical))
            columns.append(logical);
    }
    return columns;
}
