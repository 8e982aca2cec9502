// Random operation sequences applied both to two BaseDataItemModels following one audit
// service and to a plain reference of their tree, fold and fold-sync rules; every answer
// for every row and every row's flags must agree after every step.
//
// ITEMVIEWS_DIFF_STEPS sets the total number of operations (default 100000, 5000 under
// AddressSanitizer), ITEMVIEWS_DIFF_SEED (default 1) the first sequence's seed; each
// sequence of 150 steps has its own seed.

#include "TestHelpers.h"

#include <AuditBusiness.h>
#include <BaseDataItemModel.h>
#include <HeaderItem.h>
#include <TableBaseObject.h>
#include <TableHeaderColumn.h>
#include <TreeBaseItem.h>
#include <WorkBaseObject.h>

#include <QtTest>

#include <array>
#include <memory>
#include <random>
#include <vector>

namespace {

const int stepsPerSequence = 150;
const int lineSentinel = -7; // a level no row has: getParentLevelNeedDrawLine must append after it
const QString nullRowWarning = QString::fromUtf8("对象 '%1' 为 Null").arg(QStringLiteral("item"));
QtMessageHandler g_testlibHandler = nullptr;

void swallowNullRowWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message == nullRowWarning)
        return;
    g_testlibHandler(type, context, message);
}

// ---------------------------------------------------------------------------
// The reference: plain rows and the rules as straight loops.

struct RefRow
{
    RefRow* parent = nullptr;
    QList<RefRow*> children;
    RefRow* counterpart = nullptr;
    const struct RefTree* tree = nullptr;
    int level = 0;
    int rowType = 0;
    bool expanded = true;
    bool visible = true;
    bool inTable = false;
};

struct RefTree
{
    std::vector<std::unique_ptr<RefRow>> rows;
    int tableType = 0;
    bool hasWork = false;
    bool workChanged = false;
};

bool isExemptType(int rowType) { return rowType == 7 || rowType == 12; }

struct RefModel
{
    RefTree* tree = nullptr;
    QList<RefRow*> list;
    bool bound = false;
    bool following = true;

    bool inRange(int row) const { return bound && row >= 0 && row < list.size(); }
    RefRow* at(int row) const { return inRange(row) ? list.at(row) : nullptr; }

    int getParentIndex(int row) const
    {
        RefRow* item = at(row);
        if (!item || !item->parent)
            return -1;
        for (int position = 0; position < list.size(); ++position) {
            if (list.at(position) == item->parent)
                return position;
        }
        return -1;
    }
    void getParentRows(int row, QVector<int>& rows) const
    {
        for (int r = row; bound && r < list.size();) {
            r = getParentIndex(r);
            if (r < 0)
                break;
            rows.append(r);
        }
    }
    int getItemLevel(int row) const { return at(row) ? at(row)->level : -1; }
    static int descendants(RefRow* item)
    {
        int count = 0;
        for (RefRow* child : item->children)
            count += 1 + descendants(child);
        return count;
    }
    int getChildrenItemCnt(int row) const { return at(row) ? descendants(at(row)) : 0; }
    bool hasChildrenItem(int row) const { return at(row) && !at(row)->children.isEmpty(); }
    bool isVisible(int row) const { return at(row) ? at(row)->visible : true; }
    bool getBtnShowState(int row) const { return hasChildrenItem(row); }
    bool getFold(int row) const { return hasChildrenItem(row) && !at(row)->expanded; }
    bool isLastChild(int row) const
    {
        RefRow* item = at(row);
        if (!item || !item->parent)
            return true;
        const int parentRow = getParentIndex(row);
        if (parentRow == -1 || !list.at(parentRow) || list.at(parentRow)->children.isEmpty())
            return true;
        return list.at(parentRow)->children.last() == item;
    }
    bool hasFoldParent(int row) const
    {
        RefRow* item = at(row);
        if (!item || !item->parent)
            return false;
        for (RefRow* ancestor = item->parent; ancestor && ancestor->parent; ancestor = ancestor->parent) {
            if (ancestor->expanded)
                return true;
        }
        return false;
    }
    bool hasNotFlodChild(int row) const
    {
        RefRow* item = at(row);
        if (!item)
            return true;
        if (item->rowType != 5 || item->children.isEmpty())
            return false;
        return isExemptType(item->children.last()->rowType);
    }
    bool needFold(int parentRow, int row) const
    {
        if (!bound || row >= list.size())
            return false;
        if (getParentIndex(row) != parentRow || parentRow == -1 || list.at(parentRow)->rowType != 5)
            return true;
        return !isExemptType(list.at(row)->rowType);
    }
    int lastFoldRowNumber(int row) const
    {
        if (!bound)
            return -1;
        for (int r = row + getChildrenItemCnt(row); r > row; --r) {
            if (getParentIndex(r) != row || !isExemptType(list.at(r)->rowType))
                return r;
        }
        return -1;
    }
    QVector<int> getExpandOrFlodChildren(int row, bool fold)
    {
        QVector<int> result;
        if (!bound || row < 0)
            return result;
        const int last = lastFoldRowNumber(row);
        for (int r = row + 1; r <= last && r < list.size(); ++r) {
            RefRow* item = list.at(r);
            if (item && fold)
                item->visible = false;
            else if (item && item->parent && item->parent->visible && (item->parent->expanded || isExemptType(item->rowType)))
                item->visible = true;
            result.append(r);
        }
        return result;
    }
    void getParentLevelNeedDrawLine(int row, QVector<int>& levels) const
    {
        if (!bound || row == -1 || row >= list.size())
            return;
        QVector<int> chain;
        const int parentRow = getParentIndex(row);
        if (parentRow >= 0) {
            chain.append(parentRow);
            getParentRows(parentRow, chain);
        }
        for (int i = 1; i < chain.size(); ++i)
            levels.append(getItemLevel(chain.at(i)));
        for (int i = 0; i + 1 < chain.size(); ++i) {
            const int position = isLastChild(chain.at(i)) ? levels.indexOf(getItemLevel(chain.at(i + 1))) : -1;
            if (position >= 0)
                levels.remove(position);
        }
    }
};

/// What every model following the audit service does with a fold change of row.
void receiveFoldSync(RefRow* row, bool unfolded)
{
    RefRow* counterpart = row->counterpart;
    if (!counterpart)
        return;
    counterpart->expanded = unfolded;
    const int tableType = counterpart->tree->tableType;
    const bool exempt = counterpart->inTable && tableType >= 3003 && tableType <= 3006;
    QList<RefRow*> parents{counterpart};
    while (!parents.isEmpty()) {
        RefRow* parent = parents.takeFirst();
        for (RefRow* child : parent->children) {
            if (!parent->visible)
                child->visible = false;
            else
                child->visible = (exempt && isExemptType(child->rowType)) || parent->expanded;
            parents.append(child);
        }
    }
}


// ---------------------------------------------------------------------------
// Two models over two related trees of one shape, and the reference of both.

QString shown(const QVariant& value) { return value.toString(); }
QString shown(const QVector<int>& values)
{
    QStringList parts;
    for (int value : values)
        parts.append(QString::number(value));
    return "[" + parts.join(",") + "]";
}

class Sequence
{
public:
    explicit Sequence(quint32 seed);
    ~Sequence();
    /// Step 0 is the set-up (build and bind); later steps are random operations.
    QString step(int number) { return number == 0 ? QStringLiteral("build and bind") : apply(); }
    /// The first answer that differs, or what the model testers reported.
    QString difference();

private:
    QString apply(); // one random operation; returns what it did
    int chance(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_rng); }
    void buildTrees();
    void bind(int model, const QList<int>& ids, bool samePointer);
    QList<int> randomList();
    QString editAndRebind(int model);
    QString setFold(int model, int row, bool flag);
    QString expandOrFold(int model, int row, bool fold);
    QString changeRow();
    int randomRow(int model) { return chance(qMax(m_ref[model].bound ? m_ref[model].list.size() : 1, 1) + 2) - 1; }
    template<typename T>
    void check(QString& difference, int model, int row, const char* query, const T& real, const T& reference);
    void compareRow(QString& difference, int model, int row);

    std::mt19937 m_rng;
    QList<int> m_preorder; // node numbers of the shared shape, in pre-order
    std::array<std::vector<std::unique_ptr<TreeBaseItem>>, 2> m_rows;
    std::array<TableBaseObject, 2> m_tables;
    std::array<WorkBaseObject, 2> m_works;
    AuditBusiness m_audit;
    std::array<std::array<QList<BaseDataItem*>, 2>, 2> m_lists; // two list objects per model, to bind another pointer
    std::array<int, 2> m_boundList{{-1, -1}};
    std::array<QList<int>, 2> m_ids; // the bound list as node numbers, -1 for a null row
    std::array<std::unique_ptr<BaseDataItemModel>, 2> m_models;
    std::array<std::unique_ptr<ToleratedModelTester>, 2> m_testers;
    std::array<RefTree, 2> m_refTrees;
    std::array<RefModel, 2> m_ref;
    QString m_stepDifference;
};

Sequence::Sequence(quint32 seed)
    : m_rng(seed)
{
    buildTrees();
    const QStringList tolerated = QStringList{Tolerated::doubleSizeHint, Tolerated::flagsOfInvalidIndex} + Tolerated::flatRowCountIgnoresParent;
    for (int model = 0; model < 2; ++model) {
        m_models[model] = std::make_unique<BaseDataItemModel>();
        m_models[model]->getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(1, QStringLiteral("Name")));
        m_models[model]->SetAudit(&m_audit);
        m_testers[model] = std::make_unique<ToleratedModelTester>(m_models[model].get(), tolerated);
        m_ref[model].tree = &m_refTrees[model];
        bind(model, randomList(), false);
    }
}

Sequence::~Sequence()
{
    m_testers[1].reset(); // testers chain message handlers: the last installed goes first
    m_testers[0].reset();
}

void Sequence::buildTrees()
{
    const int size = chance(21);
    QVector<int> parents(size, -1);
    QVector<QList<int>> children(size);
    QList<int> roots;
    for (int node = 0; node < size; ++node) {
        parents[node] = node == 0 || chance(4) == 0 ? -1 : chance(node);
        (parents[node] < 0 ? roots : children[parents[node]]).append(node);
    }
    QList<int> pending = roots;
    while (!pending.isEmpty()) {
        const int node = pending.takeFirst();
        m_preorder.append(node);
        pending = children[node] + pending;
    }
    const int rowTypes[] = {0, 3, 5, 5, 7, 12};
    for (int tree = 0; tree < 2; ++tree) {
        RefTree& refTree = m_refTrees[tree];
        refTree.tableType = chance(2) ? 3003 + chance(4) : 1001;
        refTree.hasWork = chance(5) != 0;
        m_tables[tree].setTableType(refTree.tableType);
        m_tables[tree].setOwner(refTree.hasWork ? &m_works[tree] : nullptr);
        for (int node = 0; node < size; ++node) {
            auto ref = std::make_unique<RefRow>();
            ref->tree = &refTree;
            ref->parent = parents[node] < 0 ? nullptr : refTree.rows[parents[node]].get();
            int depth = 0;
            for (RefRow* up = ref->parent; up; up = up->parent)
                ++depth;
            ref->level = chance(3) ? depth : chance(4);
            ref->rowType = rowTypes[chance(6)];
            ref->expanded = chance(4) != 0;
            ref->visible = chance(4) != 0;
            ref->inTable = chance(7) != 0;
            auto row = std::make_unique<TreeBaseItem>();
            row->setValue(1, QStringLiteral("%1%2").arg(tree ? 'b' : 'a').arg(node));
            row->setParentAlone(parents[node] < 0 ? nullptr : m_rows[tree][parents[node]].get());
            row->setLevel(ref->level);
            row->setRowType(ref->rowType);
            row->setExpanded(ref->expanded);
            row->setVisible(ref->visible);
            row->setOwner(ref->inTable ? &m_tables[tree] : nullptr);
            m_rows[tree].push_back(std::move(row));
            refTree.rows.push_back(std::move(ref));
        }
        for (int node = 0; node < size; ++node) {
            QList<BaseDataItem*> rowChildren;
            for (int child : children[node]) {
                rowChildren.append(m_rows[tree][child].get());
                refTree.rows[node]->children.append(refTree.rows[child].get());
            }
            m_rows[tree][node]->setBaseDataItemListDirect(rowChildren);
        }
    }
    for (int node = 0; node < size; ++node) {
        if (chance(10) < 7) {
            m_audit.SetRelationItem(m_rows[0][node].get(), m_rows[1][node].get());
            m_refTrees[0].rows[node]->counterpart = m_refTrees[1].rows[node].get();
            m_refTrees[1].rows[node]->counterpart = m_refTrees[0].rows[node].get();
        }
    }
}

QList<int> Sequence::randomList()
{
    if (chance(10) == 0 || m_preorder.isEmpty())
        return {};
    int first = 0, end = m_preorder.size();
    if (chance(10) == 0) {
        first = chance(end);
        end = first + 1 + chance(end - first);
    }
    QList<int> ids;
    for (int position = first; position < end; ++position) {
        const int roll = chance(20);
        if (roll == 0)
            continue; // its children lose their parent row
        if (roll == 1)
            ids.append(-1);
        ids.append(m_preorder.at(position));
        if (roll == 2)
            ids.append(m_preorder.at(position)); // the same row twice
    }
    return ids;
}

void Sequence::bind(int model, const QList<int>& ids, bool samePointer)
{
    const int list = samePointer ? m_boundList[model] : (m_boundList[model] == 0 ? 1 : 0);
    QList<BaseDataItem*>& rows = m_lists[model][list];
    RefModel& ref = m_ref[model];
    rows.clear();
    ref.list.clear();
    for (int node : ids) {
        rows.append(node < 0 ? nullptr : m_rows[model][node].get());
        ref.list.append(node < 0 ? nullptr : m_refTrees[model].rows[node].get());
    }
    m_ids[model] = ids;
    m_boundList[model] = list;
    ref.bound = true;
    m_models[model]->BindSrcData(&rows);
}

QString Sequence::editAndRebind(int model)
{
    QList<int> ids = m_ids[model];
    const int position = chance(ids.size() + 1);
    const int node = m_preorder.isEmpty() ? -1 : m_preorder.at(chance(m_preorder.size()));
    const int kind = chance(5);
    if (kind == 0)
        ids.insert(position, -1);
    else if (kind == 1)
        ids.insert(position, node);
    else if (kind == 2 && position < ids.size())
        ids.removeAt(position);
    else if (kind == 3 && position < ids.size())
        ids.move(position, chance(ids.size()));
    bind(model, ids, m_boundList[model] >= 0);
    return QStringLiteral("edit %1 at %2 (node %3) and rebind model %4").arg(kind).arg(position).arg(node).arg(model);
}

QString Sequence::setFold(int model, int row, bool flag)
{
    m_models[model]->setFold(row, flag);
    RefRow* item = m_ref[model].at(row);
    if (item) {
        item->expanded = flag;
        if (item->inTable && item->tree->hasWork) {
            m_refTrees[model].workChanged = true;
            if (m_ref[model].following)
                receiveFoldSync(item, flag);
        }
    }
    return QStringLiteral("setFold(%1, %2) on model %3").arg(row).arg(flag).arg(model);
}

QString Sequence::expandOrFold(int model, int row, bool fold)
{
    const QVector<int> real = m_models[model]->getExpandOrFlodChildren(row, fold);
    const QVector<int> reference = m_ref[model].getExpandOrFlodChildren(row, fold);
    check(m_stepDifference, model, row, "getExpandOrFlodChildren", real, reference);
    return QStringLiteral("getExpandOrFlodChildren(%1, %2) on model %3").arg(row).arg(fold).arg(model);
}

QString Sequence::changeRow()
{
    if (m_preorder.isEmpty())
        return QStringLiteral("nothing to change");
    const int tree = chance(2), node = chance(m_preorder.size()), kind = chance(3);
    const int rowTypes[] = {0, 5, 7, 12, 4};
    TreeBaseItem* row = m_rows[tree][node].get();
    RefRow* ref = m_refTrees[tree].rows[node].get();
    if (kind == 0)
        row->setRowType(ref->rowType = rowTypes[chance(5)]);
    else if (kind == 1)
        row->setExpanded(ref->expanded = !ref->expanded);
    else
        row->setVisible(ref->visible = !ref->visible);
    return QStringLiteral("change %1 of node %2 in tree %3").arg(kind).arg(node).arg(tree);
}

QString Sequence::apply()
{
    m_stepDifference.clear();
    const int model = chance(2), roll = chance(100);
    if (roll < 10) {
        bind(model, randomList(), false);
        return QStringLiteral("bind a new list to model %1").arg(model);
    }
    if (roll < 20)
        return editAndRebind(model);
    if (roll < 22) {
        m_models[model]->BindSrcData(nullptr);
        m_ref[model].bound = false;
        m_boundList[model] = -1;
        return QStringLiteral("unbind model %1").arg(model);
    }
    if (roll < 25) {
        m_ref[model].following = !m_ref[model].following;
        m_models[model]->SetAudit(m_ref[model].following ? &m_audit : nullptr);
        return QStringLiteral("model %1 follows the audit: %2").arg(model).arg(m_ref[model].following);
    }
    if (roll < 50)
        return setFold(model, randomRow(model), chance(2));
    if (roll < 75)
        return expandOrFold(model, randomRow(model), chance(2));
    return changeRow();
}

template<typename T>
void Sequence::check(QString& difference, int model, int row, const char* query, const T& real, const T& reference)
{
    if (difference.isEmpty() && real != reference)
        difference = QStringLiteral("model %1 row %2 %3: model %4, reference %5").arg(model).arg(row).arg(query, shown(real), shown(reference));
}

void Sequence::compareRow(QString& difference, int model, int row)
{
    BaseDataItemModel& real = *m_models[model];
    const RefModel& ref = m_ref[model];
    const int parentRow = ref.getParentIndex(row);
    QVector<int> realLines{lineSentinel}, refLines{lineSentinel};
    real.getParentLevelNeedDrawLine(row, realLines);
    ref.getParentLevelNeedDrawLine(row, refLines);
    check(difference, model, row, "getParentLevelNeedDrawLine", realLines, refLines);
    check<QVariant>(difference, model, row, "getParentIndex", real.getParentIndex(row), parentRow);
    check<QVariant>(difference, model, row, "getItemLevel", real.getItemLevel(row), ref.getItemLevel(row));
    check<QVariant>(difference, model, row, "getChildrenItemCnt", real.getChildrenItemCnt(row), ref.getChildrenItemCnt(row));
    check<QVariant>(difference, model, row, "hasChildrenItem", real.hasChildrenItem(row), ref.hasChildrenItem(row));
    check<QVariant>(difference, model, row, "isLastChild", real.isLastChild(row), ref.isLastChild(row));
    check<QVariant>(difference, model, row, "isVisible", real.isVisible(row), ref.isVisible(row));
    check<QVariant>(difference, model, row, "getFold", real.getFold(row), ref.getFold(row));
    check<QVariant>(difference, model, row, "getBtnShowState", real.getBtnShowState(row), ref.getBtnShowState(row));
    check<QVariant>(difference, model, row, "hasFoldParent", real.hasFoldParent(row), ref.hasFoldParent(row));
    check<QVariant>(difference, model, row, "hasNotFlodChild", real.hasNotFlodChild(row), ref.hasNotFlodChild(row));
    check<QVariant>(difference, model, row, "lastFoldRowNumber", real.lastFoldRowNumber(row), ref.lastFoldRowNumber(row));
    for (int candidate : {parentRow, row - 1, -1})
        check<QVariant>(difference, model, row, "needFold", real.needFold(candidate, row), ref.needFold(candidate, row));
    check<QVariant>(difference, model, row, "getCheckBoxState", int(real.getCheckBoxState(row)), int(row % 2 == 0 ? Qt::Checked : Qt::Unchecked));
    check<QVariant>(difference, model, row, "getCheckBoxEnable", real.getCheckBoxEnable(row), row % 2 != 0);
}

QString Sequence::difference()
{
    QString difference = m_stepDifference;
    for (int model = 0; model < 2; ++model) {
        const int size = m_ref[model].bound ? m_ref[model].list.size() : 0;
        check<QVariant>(difference, model, -1, "rowCount", m_models[model]->rowCount(), size);
        for (int row = -1; row <= qMax(size, 1); ++row)
            compareRow(difference, model, row);
        check<QVariant>(difference, model, -1, "work changed", m_works[model].getProjectWorkChanged(), m_refTrees[model].workChanged);
        for (int node = 0; node < m_preorder.size(); ++node) {
            TreeBaseItem* row = m_rows[model][node].get();
            const RefRow* ref = m_refTrees[model].rows[node].get();
            check<QVariant>(difference, model, node, "expanded flag of node", row->getExpanded(), ref->expanded);
            check<QVariant>(difference, model, node, "visible flag of node", row->getVisible(), ref->visible);
        }
    }
    const QStringList testerFailures = m_testers[0]->failures() + m_testers[1]->failures();
    return difference.isEmpty() && !testerFailures.isEmpty() ? "model tester: " + testerFailures.join("; ") : difference;
}

} // namespace

class tst_BaseDataItemModelDifferential : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { g_testlibHandler = qInstallMessageHandler(swallowNullRowWarning); }
    void cleanupTestCase() { qInstallMessageHandler(g_testlibHandler); }
    void randomSequencesAgreeWithReference() { runDifferential<Sequence>(100000, 5000, stepsPerSequence); }
};

DIFFERENTIAL_TEST_MAIN(tst_BaseDataItemModelDifferential)
#include "tst_BaseDataItemModelDifferential.moc"
