#include <SharedInterface.h>

#include <QLoggingCategory>
#include <QTest>

#include <cstring>

class tst_SharedInterface : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A handler gets every report and nothing is logged; without one (an empty handler restores logging) both are logged.
    void reportsReachTheHandlerElseTheLog()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("itemviews.usage.debug=true"));
        static QStringList logged; // usage lines only
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& message) {
            if (context.category && std::strcmp(context.category, "itemviews.usage") == 0)
                logged.append(message);
        });
        QStringList reports;
        SharedInterface::setUsageHandler([&reports](bool ended, int code, const QString& name) { reports << QStringLiteral("%1 %2 %3").arg(ended).arg(code).arg(name); });
        SharedInterface::UseFunc(70000, QStringLiteral("grid"));
        SharedInterface::EndUseFun(-5, QString());
        SharedInterface::setUsageHandler({});
        SharedInterface::UseFunc(87913779, QString());
        SharedInterface::EndUseFun(87913779, QString());
        qInstallMessageHandler(previous);
        QCOMPARE(reports, QStringList({QStringLiteral("0 70000 grid"), QStringLiteral("1 -5 ")}));
        QCOMPARE(logged.size(), 2);
        QVERIFY(logged.at(0).contains(QLatin1String("87913779")));
        QVERIFY(logged.at(0) != logged.at(1)); // start and end are told apart
    }
};

QTEST_GUILESS_MAIN(tst_SharedInterface)
#include "tst_SharedInterface.moc"
