#include "TestHelpers.h"

#include <zBaseHeaderItem.h>

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
// The tester's parent() check asks for a child of the first cell; its later checks in that group are skipped.
const QStringList flatRowCountIgnoresParent = {QStringLiteral("FAIL! childIndex.isValid() ")};
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
    const auto tolerated = [&message](const QString& prefix) { return message.startsWith(prefix); };
    if (std::none_of(tester->m_tolerated.cbegin(), tester->m_tolerated.cend(), tolerated))
        tester->m_failures.append(message);
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
        bool visible = true, expanded = true, collapsable = true;
        for (; !name.isEmpty() && QStringLiteral("!+-#").contains(name.back()); name.chop(1)) {
            const QChar flag = name.back();
            visible = visible && flag != '!';
            collapsable = collapsable && flag != '#';
            expanded = flag == '+' || flag == '-' ? flag == '+' : expanded;
        }
        Q_ASSERT_X(depth <= path.size(), "TreeFixture", "outline skips a level");
        path = path.mid(0, depth);
        const QRegularExpressionMatch link = chain.match(name);
        const int links = link.hasMatch() ? link.captured(2).toInt() : 1;
        for (int linkNumber = 1; linkNumber <= links; ++linkNumber) {
            const QString number = QString::number(linkNumber);
            appendRow(link.hasMatch() ? link.captured(1) + number + link.captured(3) : name, visible, expanded, path);
            path.last()->setCollapsable(collapsable);
        }
    }
}

NamedRow* TreeFixture::row(const QString& name) const
{
    const auto found = std::find_if(m_alive.cbegin(), m_alive.cend(), [&name](NamedRow* candidate) { return candidate->name() == name; });
    return found == m_alive.cend() ? nullptr : *found;
}

// The row goes last under the row at the end of path (at the top when path is empty), and becomes the end of path.
void TreeFixture::appendRow(const QString& name, bool visible, bool expanded, QList<NamedRow*>& path)
{
    NamedRow* row = makeRow(name);
    row->setVisible(visible);
    row->setExpanded(expanded);
    if (!path.isEmpty()) {
        path.last()->setBaseDataItemListDirect(path.last()->getBaseDataItemlist() + QList<BaseDataItem*>{row});
        row->setParentAlone(path.last());
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

bool raiseTimeLimitForLongRun()
{
    if (!qEnvironmentVariableIsSet("ITEMVIEWS_DIFF_STEPS") || qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        return false;
    // Ample for any build (a step takes under a millisecond, a few under the sanitizers); a hang still ends the run.
    constexpr qint64 defaultLimitMs = 5 * 60 * 1000, allowedMsPerStep = 10;
    const qint64 limitMs = qBound(defaultLimitMs, qEnvironmentVariableIntValue("ITEMVIEWS_DIFF_STEPS") * allowedMsPerStep, qint64(INT_MAX));
    return qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(limitMs));
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

namespace {
QStringList g_treeDeleteLines;
QtMessageHandler g_handlerBeforeDeleteLines = nullptr;
void recordTreeDeleteLine(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg)
        return g_handlerBeforeDeleteLines(type, context, message);
    static const QRegularExpression text(QStringLiteral("^zTreeItemModel::deleteItem  deleted:  (\\d+)  rows$"));
    const QRegularExpressionMatch match = text.match(message);
    const bool fromDelete = qstrcmp(context.file, "zTreeItemModel") == 0 && qstrcmp(context.category, "itemviews.treemodel") == 0
        && qstrcmp(context.function, "bool zTreeItemModel::deleteItem(BaseDataItem*)") == 0;
    g_treeDeleteLines.append(match.hasMatch() && fromDelete ? match.captured(1) : context.file + ('|' + message));
}
}

void recordTreeDeleteLines()
{
    g_handlerBeforeDeleteLines = qInstallMessageHandler(recordTreeDeleteLine);
}

QStringList& treeDeleteLines()
{
    return g_treeDeleteLines;
}

const char* const TreeScenario::sampleTree = "A\n-A1\n--A1a\n-A2\nB\n-B1\n";

TreeScenario::TreeScenario(const QString& outline)
    : tree(outline)
    , list(tree.rows())
{
    for (const char* id : {"code", "name", "qty"})
        columns.addColumn(new zBaseHeaderItem(QLatin1String(id)));
    columns.setColumnHidden(0, true);
    model.setHeaderColumn(&columns);
    model.setTreeColumn(2);
    model.BindSrcData(&list, false);
    tester = std::make_unique<ToleratedModelTester>(&model, QStringList{Tolerated::doubleSizeHint} + Tolerated::flatRowCountIgnoresParent);
    g_treeDeleteLines.clear();
    resets.clear();
}

TreeScenario::~TreeScenario()
{
    tester.reset();
    // Rows the model created belong to the host: free those still linked or listed.
    QSet<BaseDataItem*> created(list.cbegin(), list.cend());
    for (BaseDataItem* row : tree.rows()) {
        for (BaseDataItem* child : tree.isAlive(row) ? row->getBaseDataItemlist() : QList<BaseDataItem*>())
            created.insert(child);
    }
    for (BaseDataItem* row : qAsConst(created)) {
        if (row && !dynamic_cast<NamedRow*>(row))
            delete row;
    }
}

QList<BaseDataItem*> TreeScenario::rows(const QString& rowNames) const
{
    QList<BaseDataItem*> named;
    for (const QString& name : rowNames.split(QLatin1Char(','), Qt::SkipEmptyParts))
        named.append(row(name));
    return named;
}

QModelIndex TreeScenario::at(const QString& name, int column)
{
    bool isRowNumber = false;
    const int virtualRow = name.toInt(&isRowNumber);
    return isRowNumber ? model.staleIndex(virtualRow, column) : model.index(model.findVirtualIndexByItem(row(name)), column);
}

void TreeScenario::bind(const QString& rowNames, bool rebuild)
{
    list = rows(rowNames);
    model.BindSrcData(&list, rebuild);
    model.zBaseModel::UpdateData();
    model.updateDataCalls = 0;
    resets.clear();
}

void TreeScenario::hostEditsList(const QString& rowNames)
{
    list = rows(rowNames);
    model.UpdateData();
    model.updateDataCalls = 0;
    resets.clear();
}

bool TreeScenario::check(const QString& name, int state, int column)
{
    return qt()->setData(at(name, column), state, Qt::CheckStateRole);
}

void TreeScenario::hookAnswersReads(const QString& answer)
{
    model.dataStarting([answer](int, const QModelIndex&, const zBaseHeaderItem*, QVariant& value) {
        value = answer;
        return true;
    });
}

void TreeScenario::relink(const QString& name, const QString& newParent, bool keepOld)
{
    auto* child = row(name);
    auto* parent = row(newParent);
    if (!keepOld)
        child->getParent()->setBaseDataItemListDirect({});
    parent->setBaseDataItemListDirect(parent->getBaseDataItemlist() + QList<BaseDataItem*>{child});
    child->setParentAlone(parent);
}

QString TreeScenario::shown()
{
    QList<BaseDataItem*> shownRows;
    for (int virtualRow = 0; virtualRow < qt()->rowCount(); ++virtualRow)
        shownRows.append(model.findItemByIndex(virtualRow));
    return names(shownRows);
}

QString TreeScenario::originalRows()
{
    QList<BaseDataItem*> originals;
    for (int originalRow = 0; model.findItemByOriginalIndex(originalRow) || originalRow < list.size(); ++originalRow)
        originals.append(model.findItemByOriginalIndex(originalRow));
    return names(originals);
}

QString TreeScenario::checkStates()
{
    QStringList states;
    for (BaseDataItem* row : tree.rows()) {
        if (!tree.isAlive(row))
            continue;
        const QVariant state = read(names({row}), Qt::CheckStateRole);
        if (state.userType() != QMetaType::Bool)
            states.append(names({row}) + ':' + state.toString());
    }
    return states.join(' ');
}

QString TreeScenario::childrenOfA()
{
    BaseDataItem* rowA = row("A");
    if (!rowA)
        return {};
    const QString count = read("A", zTreeItemModel::TreeChildCountRole).toString();
    QString children = names(rowA->getBaseDataItemlist()) + " #" + count;
    for (BaseDataItem* child : rowA->getBaseDataItemlist())
        children += child->getParent() == rowA ? "" : " unlinked";
    return children;
}

QString TreeScenario::aliveRowsWhere(bool (BaseDataItem::*flag)()) const
{
    QList<BaseDataItem*> found;
    for (BaseDataItem* row : tree.rows()) {
        if (tree.isAlive(row) && (row->*flag)())
            found.append(row);
    }
    return names(found);
}
