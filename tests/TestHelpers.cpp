#include "TestHelpers.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <qpa/qwindowsysteminterface.h>

#include <climits>
#include <cstring>

bool setLogicalDpi(qreal dpi)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    QWindowSystemInterface::handleScreenLogicalDotsPerInchChange(screen, dpi, dpi);
    QWindowSystemInterface::flushWindowSystemEvents();
    return qFuzzyCompare(screen->logicalDotsPerInch(), dpi);
}

namespace Tolerated {
const QString doubleSizeHint = QStringLiteral("FAIL! variant.canConvert<QSize>() ");
const QStringList flatRowCountIgnoresParent = {
    // The tester's parent() check asks for a child of the first cell; its later checks in that group are skipped.
    QStringLiteral("FAIL! childIndex.isValid() "),
};
const QString flagsOfInvalidIndex = QStringLiteral("FAIL! flags == Qt::ItemIsDropEnabled || flags == 0 ");
}

namespace {
ToleratedModelTester* g_activeTester = nullptr;
}

ToleratedModelTester::ToleratedModelTester(QAbstractItemModel* model, const QStringList& toleratedPrefixes)
    : m_tolerated(toleratedPrefixes)
    , m_outer(g_activeTester)
{
    g_activeTester = this;
    m_previous = qInstallMessageHandler(&ToleratedModelTester::handleMessage);
    m_tester = std::make_unique<QAbstractItemModelTester>(model, QAbstractItemModelTester::FailureReportingMode::Warning);
}

ToleratedModelTester::~ToleratedModelTester()
{
    m_tester.reset();
    qInstallMessageHandler(m_previous);
    g_activeTester = m_outer;
}

void ToleratedModelTester::handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    ToleratedModelTester* tester = g_activeTester;
    const bool fromTester = context.category && std::strcmp(context.category, "qt.modeltest") == 0;
    if (!tester || !fromTester || type != QtWarningMsg) {
        // Nested testers' handlers all lead here: forward to the handler before the first tester.
        ToleratedModelTester* first = tester;
        while (first && first->m_outer)
            first = first->m_outer;
        if (first && first->m_previous)
            first->m_previous(type, context, message);
        return;
    }
    for (const QString& prefix : qAsConst(tester->m_tolerated)) {
        if (message.startsWith(prefix))
            return;
    }
    tester->m_failures.append(message);
}

NamedRow::NamedRow(const QString& name, RowRegistry* registry)
    : m_registry(registry)
{
    setValue(1, name);
    m_registry->insert(this, this);
}

NamedRow::~NamedRow()
{
    m_registry->remove(this);
}

TreeFixture::TreeFixture(const QString& outline)
{
    static const QRegularExpression chain(QStringLiteral("^(.*)\\*(\\d+)(.*)$"));
    QList<NamedRow*> path; // path[d] = last row seen at depth d
    for (QString line : outline.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        line = line.trimmed();
        int depth = 0;
        while (depth < line.size() && line.at(depth) == QLatin1Char('-'))
            ++depth;
        QString name = line.mid(depth);
        bool visible = true;
        bool expanded = true;
        while (name.endsWith(QLatin1Char('!')) || name.endsWith(QLatin1Char('+')) || name.endsWith(QLatin1Char('-'))) {
            const QChar flag = name.at(name.size() - 1);
            visible = visible && flag != QLatin1Char('!');
            if (flag != QLatin1Char('!'))
                expanded = flag == QLatin1Char('+');
            name.chop(1);
        }
        Q_ASSERT_X(depth <= path.size(), "TreeFixture", "outline skips a level");
        path = path.mid(0, depth);
        const QRegularExpressionMatch link = chain.match(name);
        const int links = link.hasMatch() ? link.captured(2).toInt() : 1;
        for (int linkNumber = 1; linkNumber <= links; ++linkNumber)
            appendRow(link.hasMatch() ? link.captured(1) + QString::number(linkNumber) + link.captured(3) : name, visible, expanded, path);
    }
}

TreeFixture::~TreeFixture()
{
    const RowRegistry alive = m_alive; // each row leaves m_alive as it goes
    qDeleteAll(alive);
}

NamedRow* TreeFixture::row(const QString& name) const
{
    for (NamedRow* candidate : m_alive) {
        if (candidate->name() == name)
            return candidate;
    }
    return nullptr;
}

bool TreeFixture::isAlive(BaseDataItem* row) const
{
    return m_alive.contains(row);
}

NamedRow* TreeFixture::makeRow(const QString& name)
{
    return new NamedRow(name, &m_alive);
}

// The row goes last under the row at the end of path (at the top when path is empty), and becomes the end of path.
void TreeFixture::appendRow(const QString& name, bool visible, bool expanded, QList<NamedRow*>& path)
{
    NamedRow* row = makeRow(name);
    row->setVisible(visible);
    row->setExpanded(expanded);
    if (path.isEmpty()) {
        m_roots.append(row);
    } else {
        NamedRow* parent = path.last();
        QList<BaseDataItem*> children = parent->getBaseDataItemlist();
        children.append(row);
        parent->setBaseDataItemListDirect(children);
        row->setParentAlone(parent);
    }
    path.append(row);
    m_preOrder.append(row);
}

QString names(const QList<BaseDataItem*>& rows)
{
    QStringList parts;
    for (BaseDataItem* row : rows)
        parts.append(row ? (row->getValue(1).isValid() ? row->getValue(1).toString() : QStringLiteral("?")) : QStringLiteral("null"));
    return parts.join(QLatin1Char(' '));
}

int differentialSteps(int normalDefault, int sanitizerDefault)
{
    if (qEnvironmentVariableIsSet("ITEMVIEWS_DIFF_STEPS"))
        return qEnvironmentVariableIntValue("ITEMVIEWS_DIFF_STEPS");
#ifdef __SANITIZE_ADDRESS__
    Q_UNUSED(normalDefault);
    return sanitizerDefault;
#else
    Q_UNUSED(sanitizerDefault);
    return normalDefault;
#endif
}

bool raiseTimeLimitForLongRun()
{
    if (!qEnvironmentVariableIsSet("ITEMVIEWS_DIFF_STEPS") || qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        return false;
    // Ample for any build (a step takes under a millisecond, a few under the sanitizers); a hang still ends the run.
    constexpr qint64 defaultLimitMs = 5 * 60 * 1000, allowedMsPerStep = 10;
    const qint64 steps = qEnvironmentVariableIntValue("ITEMVIEWS_DIFF_STEPS");
    const qint64 limitMs = qBound(defaultLimitMs, steps * allowedMsPerStep, qint64(INT_MAX));
    return qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(limitMs));
}

quint32 differentialFirstSeed()
{
    return qEnvironmentVariableIsSet("ITEMVIEWS_DIFF_SEED") ? quint32(qEnvironmentVariableIntValue("ITEMVIEWS_DIFF_SEED")) : 1;
}

QString describe(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("invalid");
    if (value.userType() == qMetaTypeId<QList<bool>>()) {
        QStringList flags;
        for (bool flag : value.value<QList<bool>>())
            flags.append(flag ? QStringLiteral("true") : QStringLiteral("false"));
        return QStringLiteral("QList<bool>[%1]").arg(flags.join(QLatin1Char(',')));
    }
    return QStringLiteral("%1 %2").arg(QLatin1String(value.typeName()), value.toString());
}
