#include "SharedInterface.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcUsage, "itemviews.usage")

namespace {
SharedInterface::UsageHandler& usageHandler()
{
    static SharedInterface::UsageHandler handler;
    return handler;
}

void report(bool ended, int code, const QString& name)
{
    if (usageHandler()) {
        usageHandler()(ended, code, name);
        return;
    }
    qCDebug(lcUsage, "%s %d %s", ended ? "end" : "use", code, qUtf8Printable(name));
}
} // namespace

void SharedInterface::UseFunc(int code, const QString& name)
{
    report(false, code, name);
}

void SharedInterface::EndUseFun(int code, const QString& name)
{
    report(true, code, name);
}

void SharedInterface::setUsageHandler(UsageHandler handler)
{
    usageHandler() = std::move(handler);
}
