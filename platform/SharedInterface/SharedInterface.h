#pragma once

#include "itemviews_platform_export.h"

#include <QString>

#include <functional>

/*!
 * Usage reporting: the application counts which functions its users reach.
 * Each use is reported twice, when it starts and when it ends. Reports go to
 * a replaceable handler; without one they are logged under the category
 * "itemviews.usage".
 *
 *     SharedInterface::setUsageHandler([](bool ended, int code, const QString& name) { ... });
 *     SharedInterface::UseFunc(code, QString());
 *     SharedInterface::EndUseFun(code, QString());
 *
 * The handler is process-wide and unguarded: set it and report on the GUI thread only,
 * where the grid model reports from.
 */
class ITEMVIEWS_PLATFORM_EXPORT SharedInterface
{
public:
    using UsageHandler = std::function<void(bool ended, int code, const QString& name)>;

    /// A function with this usage code starts being used.
    static void UseFunc(int code, const QString& name);
    /// The use of a function with this usage code ends.
    static void EndUseFun(int code, const QString& name);
    /// Replaces the handler of every report; an empty handler restores the logging one.
    static void setUsageHandler(UsageHandler handler);
};
