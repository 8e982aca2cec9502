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
        bool visible = true, expanded = true;
        for (; name.endsWith('!') || name.endsWith('+') || name.endsWith('-'); name.chop(1)) {
            const QChar flag = name.back();
            visible = visible && flag != '!';
            expanded = flag == '!' ? expanded : flag == '+';
        }
        Q_ASSERT_X(depth <= path.size(), "TreeFixture", "outline skips a level");
        path = path.mid(0, depth);
        const QRegularExpressionMatch link = chain.match(name);
        const int links = link.hasMatch() ? link.captured(2).toInt() : 1;
        for (int linkNumber = 1; linkNumber <= links; ++linkNumber)
            appendRow(link.hasMatch() ? link.captured(1) + QString::number(linkNumber) + link.captured(3) : name, visible, expanded, path);
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

QString TreeScenario::shown()
{
    QList<BaseDataItem*> shownRows;
    for (int virtualRow = 0; virtualRow < qt()->rowCount(); ++virtualRow)
        shownRows.append(model.findItemByIndex(virtualRow));
    return names(shownRows);
}

void TreeScenario::run(const QString& script)
{
    // Appends row to parent's children (leaving its old parent childless unless keepOld) and links it back.
    const auto relink = [](BaseDataItem* row, BaseDataItem* newParent, bool keepOld) {
        auto* child = static_cast<TreeBaseItem*>(row);
        auto* parent = static_cast<TreeBaseItem*>(newParent);
        if (!keepOld)
            child->getParent()->setBaseDataItemListDirect({});
        parent->setBaseDataItemListDirect(parent->getBaseDataItemlist() + QList<BaseDataItem*>{child});
        child->setParentAlone(parent);
    };
    const QHash<QString, std::function<void(const QString&)>> verbs{
        {"list", [this](const QString& arg) { bind(arg, false, true); }},
        {"bind", [this](const QString& arg) { bind(arg, false, false); }},
        {"rebuild", [this](const QString& arg) { bind(arg, true, false); }},
        {"mode", [this](const QString& arg) { model.setProperty("checkType", arg.toInt()); }},
        {"check", [this](const QString& arg) { say(qt()->setData(at(arg.section('@', 0, 0).section('=', 0, 0), arg.contains('@') ? 0 : treeColumn), arg.section('=', 1).toInt(), Qt::CheckStateRole)); }},
        {"span", [this](const QString& arg) { row(arg.section('>', 0, 0))->setSpanChildrenRows(rows(arg.section('>', 1))); }},
        {"lookups", [this](const QString&) { model.setCellValue(1, "name", "cell"); model.setRowValue(1, "row"); model.setRowValue(0, "hidden"); model.setColumnValue("name", "column"); }},
        {"fixed", [this](const QString& arg) { row(arg)->setCollapsable(false); }},
        {"twice", [this, &relink](const QString& arg) { relink(row(arg), row(arg)->getParent(), true); }},
        {"move", [this, &relink](const QString& arg) { relink(row(arg.section('>', 0, 0)), row(arg.section('>', 1)), false); }},
        {"uncollapsable", [this](const QString& arg) { QList<BaseDataItem*> out{nullptr}; TreeProbeModel::getCantCollaspeChildren(row(arg), out); say(names(out)); }},
        {"click", [this](const QString& arg) { qt()->setData(at(arg, 0), 0, zTreeItemModel::ClickedCellRole); }},
        {"after", [this](const QString& arg) { model.insertItemAfterIndex(at(arg, 0)); }},
        {"before", [this](const QString& arg) { model.insertItemBeforeIndex(at(arg, 0)); }},
        {"under", [this](const QString& arg) { model.insertItemUnderIndex(at(arg, 0)); }},
        {"delete", [this](const QString& arg) { say(model.deleteItem(row(arg))); }},
        {"deleteRow", [this](const QString& arg) { model.deleteItemByIndex(at(arg, 0)); }},
        {"deleteAll", [this](const QString&) { model.deleteAll(); }},
        {"uname", [this](const QString& arg) { say(model.unameItem(static_cast<TreeBaseItem*>(row(arg)))); }},
        {"hide", [this](const QString& arg) { model.hiddenNames.insert(arg); }},
        {"refresh", [this](const QString&) { model.UpdateData(); }},
        {"fold", [this](const QString& arg) { model.setExpandeItem(row(arg), false); }},
        {"hook", [this](const QString&) { model.dataStarting([](int, const QModelIndex&, const zBaseHeaderItem*, QVariant& value) { value = "hook"; return true; }); }},
        {"read", [this](const QString& arg) { said.append(describe(read(arg.section('@', 0, 0), arg.section('@', 1, 1).toInt(), arg.section('@', 2).isEmpty() ? treeColumn : 0))); }},
        {"shown", [this](const QString&) { say(shown()); }},
        {"dpi", [](const QString& arg) { QVERIFY(setLogicalDpi(arg.toDouble())); }},
        {"height", [this](const QString& arg) { row(arg.section('=', 0, 0))->setRowHeight(arg.section('=', 1).toDouble()); }},
        {"veto", [this](const QString&) { model.editorStarting([](int, const QModelIndex&, const zBaseHeaderItem*, QVariant&) { return false; }); }},
        {"size", [this](const QString& arg) { say(qt()->setData(at(arg.section('=', 0, 0), 0), arg.section('=', 1).toDouble(), Qt::SizeHintRole)); say(row(arg.section('=', 0, 0))->getRowHeight()); }},
        {"flags", [this](const QString& arg) { say(int(qt()->flags(at(arg, 0)))); }},
        {"flagsHook", [this](const QString& arg) { model.callFlags([this, arg](const QModelIndex&, const zBaseHeaderItem*, Qt::ItemFlags& flags) {
             say(int(flags)); // the flags it was given
             flags = Qt::ItemFlags(arg.section('/', 0, 0).toInt());
             return arg.endsWith("/1"); }); }},
    };
    for (const QString& step : script.split(' ', Qt::SkipEmptyParts)) {
        if (step.startsWith('+') || step.startsWith('-'))
            say(qt()->setData(at(step.mid(1), 0), step.startsWith('+'), zTreeItemModel::TreeExpandedRole));
        else
            verbs.value(step.section(':', 0, 0), [&step](const QString&) { QFAIL(qPrintable(step)); })(step.section(':', 1));
    }
}

void TreeScenario::bind(const QString& rowNames, bool rebuild, bool hostRefresh)
{
    list = rows(rowNames);
    if (hostRefresh) { // the host edited its list in place
        model.UpdateData();
    } else {
        model.BindSrcData(&list, rebuild);
        model.zBaseModel::UpdateData();
    }
    model.updateDataCalls = 0;
    resets.clear();
}

QString TreeScenario::snapshot(const QString& expected)
{
    QStringList answers;
    for (const QString& pair : expected.split("; "))
        answers.append(pair.section('=', 0, 0) + '=' + answer(pair.section('=', 0, 0)));
    return answers.join("; ");
}

QString TreeScenario::answer(const QString& key)
{
    QList<BaseDataItem*> expanded, visible, originalRows;
    QStringList checks;
    for (BaseDataItem* row : tree.rows()) {
        if (!tree.isAlive(row))
            continue;
        const QVariant state = read(names({row}), Qt::CheckStateRole);
        checks.append(names({row}) + ':' + (state.userType() == QMetaType::Bool ? QStringLiteral("-") : state.toString()));
        expanded += row->getExpanded() ? QList<BaseDataItem*>{row} : QList<BaseDataItem*>();
        visible += row->getVisible() ? QList<BaseDataItem*>{row} : QList<BaseDataItem*>();
    }
    for (int originalRow = 0; model.findItemByOriginalIndex(originalRow) || originalRow < list.size(); ++originalRow)
        originalRows.append(model.findItemByOriginalIndex(originalRow));
    // Children of A with A's child count, each marked when not linked back to A.
    BaseDataItem* rowA = row("A");
    QString childrenOfA = rowA ? names(rowA->getBaseDataItemlist()) + " #" + read("A", zTreeItemModel::TreeChildCountRole).toString() : "";
    for (BaseDataItem* child : rowA ? rowA->getBaseDataItemlist() : QList<BaseDataItem*>())
        childrenOfA += child->getParent() == rowA ? "" : " unlinked";
    const QHash<QString, QString> answers{
        {"list", names(list)}, {"original", names(originalRows)}, {"shown", shown()}, {"count", QString::number(qt()->rowCount())},
        {"level", qt()->data(model.index(0, treeColumn), zTreeItemModel::TreeMaxLevelRole).toString()},
        {"expanded", names(expanded)}, {"visible", names(visible)}, {"checks", checks.join(' ')}, {"A", childrenOfA},
        {"alive", QString::number(tree.aliveCount())}, {"clicked", names({model.getClickedItem()})},
        {"refreshes", QString::number(model.updateDataCalls)}, {"resets", QString::number(resets.size())},
        {"log", g_treeDeleteLines.join(' ')}, {"said", said.join(" | ")},
    };
    return answers.value(key, "unknown key");
}
