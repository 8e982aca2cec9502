#include "EstimateFile.h"

#include "EstimateJson.h"

#include <QFile>

#include <simdjson.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool loadResource(const QString& path, simdjson::padded_string* text, QString* problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    *text = simdjson::padded_string(bytes.constData(), size_t(bytes.size()));
    return true;
}

} // namespace

bool loadEstimateFile(const QString& path, simdjson::padded_string* text, LoadProgress* progress, QString* problem)
{
    if (path.startsWith(QLatin1Char(':'))) // a Qt resource
        return loadResource(path, text, problem);
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status{};
    if (descriptor < 0 || fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        *problem = descriptor < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("not a regular file");
        if (descriptor >= 0)
            ::close(descriptor);
        return false;
    }
    *text = simdjson::padded_string(size_t(status.st_size));
    if (progress)
        progress->total = 2 * qint64(status.st_size); // reading the bytes, then parsing them
    constexpr size_t chunk = 16 << 20;
    size_t done = 0;
    while (done < text->size() && !(progress && progress->cancelled)) {
        const ssize_t bytes = ::read(descriptor, text->data() + done, qMin(chunk, text->size() - done));
        if (bytes <= 0 && errno != EINTR)
            break;
        done += size_t(qMax<ssize_t>(bytes, 0));
        if (progress)
            progress->done = qint64(done);
    }
    ::close(descriptor);
    if (progress && progress->cancelled) {
        *problem = EstimateJson::cancelledMessage();
        return false;
    }
    if (done != text->size()) {
        *problem = QStringLiteral("the file changed while it was read");
        return false;
    }
    return true;
}

void discardReadPages(const char* from, const char* to)
{
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (uintptr_t(from) + page - 1) / page * page;
    const uintptr_t last = uintptr_t(to) / page * page;
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

void forgetReadText(const char* file, const char* end, TextStart* readStart)
{
    const char* start = file + readStart->length;
    if (end <= start)
        return;
    *readStart = summarize(file, size_t(end - file), *readStart);
    discardReadPages(start, end);
}
