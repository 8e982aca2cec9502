#include "EstimateJson.h"

#include "EstimateFile.h"
#include "EstimateReader.h"
#include "EstimateWriter.h"

#include <QBuffer>
#include <QSaveFile>

#include <simdjson.h>

namespace {

std::unique_ptr<Estimate> readText(const simdjson::padded_string& text, const QString& fileName, QString* error,
                                   LoadProgress* progress, int threads = 1)
{
    QString problem;
    EstimateReader reader(text.data(), text.size(), text.size() + simdjson::SIMDJSON_PADDING, progress, threads);
    std::unique_ptr<Estimate> estimate = reader.read(&problem);
    if (!estimate)
        *error = problem == EstimateJson::cancelledMessage() ? problem : QStringLiteral("%1: %2").arg(fileName, problem);
    return estimate;
}

} // namespace

std::unique_ptr<Estimate> EstimateJson::read(const QString& path, QString* error, LoadProgress* progress, int threads)
{
    simdjson::padded_string text;
    QString problem;
    if (!loadEstimateFile(path, &text, progress, &problem)) {
        *error = problem == cancelledMessage() ? problem : QStringLiteral("%1: cannot open: %2").arg(path, problem);
        return nullptr;
    }
    return readText(text, path, error, progress, threads);
}

std::unique_ptr<Estimate> EstimateJson::parse(const QByteArray& json, const QString& fileName, QString* error)
{
    return readText(simdjson::padded_string(json.constData(), size_t(json.size())), fileName, error, nullptr);
}

QByteArray EstimateJson::serialize(const Estimate& estimate, QString* error)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EstimateWriter writer(&buffer);
    if (writer.write(estimate))
        return buffer.data();
    if (error)
        *error = writer.problem();
    return {};
}

bool EstimateJson::write(const Estimate& estimate, const QString& path, QString* error)
{
    QSaveFile file(path);
    EstimateWriter writer(&file);
    QString problem;
    // Unbuffered: the writer buffers already, so every write's result is the disk's. Qt's own
    // buffer would be flushed by commit(), which does not report a failure of that flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        problem = file.errorString();
    else if (!writer.write(estimate))
        problem = writer.problem();
    else if (!file.flush())
        problem = file.errorString();
    else if (file.size() != writer.bytesWritten())
        problem = QStringLiteral("the disk holds %1 of the %2 bytes written").arg(file.size()).arg(writer.bytesWritten());
    else if (!file.commit())
        problem = file.errorString();
    if (problem.isEmpty())
        return true;
    *error = QStringLiteral("%1: cannot save: %2").arg(path, problem);
    return false; // the unfinished copy is discarded, the old file stays as it was
}

QString EstimateJson::cancelledMessage()
{
    return QStringLiteral("cancelled");
}
