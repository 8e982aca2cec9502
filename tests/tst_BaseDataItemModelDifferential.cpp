// Random operation sequences applied to two BaseDataItemModels following one audit service and
// to a plain statement of their tree, fold and fold-sync rules; every answer for every row and
// every row's flags must agree after every step.
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
#include <WorkBaseObject.h>

#include <array>
#include <random>
#include <vector>

namespace {

bool isExempt(int rowType) { return rowType == 7 || rowType == 12; }

/// Counts refreshes, as a host subclass overriding UpdateData would see them.
struct CountingModel : BaseDataItemModel
{
    void UpdateData() override { ++updates; BaseDataItemModel::UpdateData(); }
    int updates = 0;
};

/*!
 * Two trees of one random shape (node numbers shared; row types, levels and flags their own), each
 * bound to its own model as a list of node numbers with gaps, duplicates and null rows (-1). The
 * reference keeps only what the models write (the expanded, visible and work-changed flags) and
 * states every query over the shape: each node's parent, last child and place in pre-order.
 */
struct Sequence
{
    explicit Sequence(quint32 seed)
        : m_rng(seed)
    {
        const int nodes = chance(21);
        m_lastChild.fill(-1, nodes);
        for (int n = 0; n < nodes; ++n) { // numbered in pre-order: a node's parent is on the path to node n - 1
            int parent = n == 0 || chance(4) == 0 ? -1 : n - 1;
            for (int up = parent < 0 ? 0 : chance(m_depth[n - 1] + 1); up > 0; --up)
                parent = m_parent[parent];
            m_parent.append(parent);
            m_depth.append(parent < 0 ? 0 : m_depth[parent] + 1);
            m_block.append(0); // its descendants: the nodes n + 1 ... n + m_block[n]
            for (int up = parent; up >= 0; up = m_parent[up])
                ++m_block[up];
            if (parent >= 0)
                m_lastChild[parent] = n;
        }
        for (int m = 0; m < 2; ++m) {
            m_tables[m].setTableType(chance(2) ? 3003 + chance(4) : 1001);
            m_tables[m].setOwner(chance(5) ? &m_works[m] : nullptr);
            for (int n = 0; n < nodes; ++n) {
                m_rows[m].push_back(std::make_unique<TreeBaseItem>());
                TreeBaseItem* parent = m_parent[n] < 0 ? nullptr : item(m, m_parent[n]);
                item(m, n)->setParentAlone(parent);
                if (parent)
                    parent->setBaseDataItemListDirect(parent->getBaseDataItemlist() + QList<BaseDataItem*>{item(m, n)});
                item(m, n)->setLevel(chance(3) ? m_depth[n] : chance(4));
                item(m, n)->setRowType(std::array<int, 6>{{0, 3, 5, 5, 7, 12}}[chance(6)]);
                item(m, n)->setExpanded(chance(4) != 0);
                item(m, n)->setVisible(chance(4) != 0);
                item(m, n)->setOwner(chance(7) ? &m_tables[m] : nullptr);
                m_expanded[m].append(item(m, n)->getExpanded());
                m_visible[m].append(item(m, n)->getVisible());
                if (m == 1 && chance(10) < 7)
                    m_audit.SetRelationItem(item(0, n), item(1, n));
            }
        }
        for (int m = 0; m < 2; ++m) {
            m_models[m] = std::make_unique<CountingModel>();
            m_models[m]->getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(1, QStringLiteral("Name")));
            m_models[m]->SetAudit(&m_audit);
            m_testers[m] = std::make_unique<ToleratedModelTester>(
                m_models[m].get(), QStringList{Tolerated::doubleSizeHint, Tolerated::flagsOfInvalidIndex} + Tolerated::flatRowCountIgnoresParent);
            bind(m, randomList(), false);
        }
    }

    /// Step 0 is the set-up (build and bind); later steps are random operations.
    QString step(int number)
    {
        m_difference.clear();
        if (number == 0)
            return QStringLiteral("build and bind");
        const int m = chance(2), roll = chance(100), row = chance(qMax(size(m), 1) + 2) - 1;
        if (roll < 20) { // a new list, or the last one edited and bound again (as the same list object when bound)
            QList<int> ids = roll < 10 ? randomList() : m_ids[m];
            const int position = chance(ids.size() + 1), kind = roll < 10 ? 3 : chance(4), n = chance(m_parent.size() + 1) - 1;
            if (kind == 0)
                ids.insert(position, n);
            else if (kind == 1 && position < ids.size())
                ids.removeAt(position);
            else if (kind == 2 && position < ids.size())
                ids.move(position, chance(ids.size()));
            if (roll >= 10 && m_boundList[m] >= 0 && kind < 2 && chance(2))
                return announce(m, ids, position, kind == 0 ? 1 : 0, int(m_ids[m].size() - ids.size()) + (kind == 0 ? 1 : 0));
            bind(m, ids, roll >= 10 && m_boundList[m] >= 0);
            return QStringLiteral("bind to model %1 a list (new: %2, edit %3 at %4 with node %5)").arg(m).arg(roll < 10).arg(kind).arg(position).arg(n);
        }
        if (roll < 22) {
            m_models[m]->BindSrcData(nullptr);
            m_boundList[m] = -1;
            return QStringLiteral("unbind model %1").arg(m);
        }
        if (roll < 25) {
            m_following[m] = !m_following[m];
            m_models[m]->SetAudit(m_following[m] ? &m_audit : nullptr);
            return QStringLiteral("model %1 follows the audit: %2").arg(m).arg(m_following[m]);
        }
        if (roll < 50)
            return setFold(m, row, chance(2));
        if (roll < 75) {
            const bool fold = chance(2);
            const QVector<int> real = m_models[m]->getExpandOrFlodChildren(row, fold);
            QVector<int> reference;
            for (int r = row + 1, last = row < 0 ? -1 : lastFoldRowNumber(m, row); r <= last && r < size(m); ++r) {
                const int n = node(m, r), parent = n < 0 ? -1 : m_parent[n];
                if (n >= 0 && fold)
                    m_visible[m][n] = false;
                else if (parent >= 0 && m_visible[m][parent] && (m_expanded[m][parent] || isExempt(rowType(m, r))))
                    m_visible[m][n] = true;
                reference.append(r);
            }
            check(m, row, "getExpandOrFlodChildren", real, reference);
            return QStringLiteral("getExpandOrFlodChildren(%1, %2) on model %3").arg(row).arg(fold).arg(m);
        }
        if (m_parent.isEmpty())
            return QStringLiteral("nothing to change");
        const int tree = chance(2), n = chance(m_parent.size()), kind = chance(3);
        if (kind == 0)
            item(tree, n)->setRowType(std::array<int, 5>{{0, 5, 7, 12, 4}}[chance(5)]);
        else if (kind == 1)
            item(tree, n)->setExpanded(m_expanded[tree][n] = !m_expanded[tree][n]);
        else
            item(tree, n)->setVisible(m_visible[tree][n] = !m_visible[tree][n]);
        return QStringLiteral("change %1 of node %2 in tree %3").arg(kind).arg(n).arg(tree);
    }

    /// The first answer that differs, or what the model testers reported.
    QString difference()
    {
        for (int m = 0; m < 2; ++m) {
            check(m, -1, "rowCount", m_models[m]->rowCount(), size(m));
            for (int row = -1; row <= qMax(size(m), 1); ++row)
                compareRow(m, row);
            check(m, -1, "work changed", m_works[m].getProjectWorkChanged(), m_workChanged[m]);
            for (int n = 0; n < m_parent.size(); ++n) {
                check(m, n, "expanded flag of node", item(m, n)->getExpanded(), m_expanded[m][n]);
                check(m, n, "visible flag of node", item(m, n)->getVisible(), m_visible[m][n]);
            }
        }
        const QStringList testerFailures = m_testers[0]->failures() + m_testers[1]->failures();
        return m_difference.isEmpty() && !testerFailures.isEmpty() ? "model tester: " + testerFailures.join("; ") : m_difference;
    }
    int chance(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_rng); }

    // The rules, by model (= tree) and row of its bound list.
    int size(int m) const { return m_boundList[m] >= 0 ? m_ids[m].size() : 0; }
    int node(int m, int row) const { return row >= 0 && row < size(m) ? m_ids[m].at(row) : -1; }
    TreeBaseItem* item(int m, int n) const { return m_rows[m][n].get(); }
    int rowType(int m, int row) const { return node(m, row) < 0 ? 0 : item(m, node(m, row))->getRowType(); }
    int level(int m, int row) const { return node(m, row) < 0 ? -1 : item(m, node(m, row))->getLevel(); }
    int parentRow(int m, int row) const { return node(m, row) < 0 || m_parent[node(m, row)] < 0 ? -1 : m_ids[m].indexOf(m_parent[node(m, row)]); }
    int block(int m, int row) const { return node(m, row) < 0 ? 0 : m_block[node(m, row)]; }
    bool isLastChild(int m, int row) const { return parentRow(m, row) < 0 || m_lastChild[m_parent[node(m, row)]] == node(m, row); }
    bool hasFoldParent(int m, int row) const
    {
        // The row itself and its top-level ancestor are never asked.
        for (int up = node(m, row) < 0 ? -1 : m_parent[node(m, row)]; up >= 0 && m_parent[up] >= 0; up = m_parent[up])
            if (m_expanded[m][up])
                return true;
        return false;
    }
    bool hasNotFlodChild(int m, int row) const
    {
        const int n = node(m, row);
        return n < 0 || (rowType(m, row) == 5 && m_lastChild[n] >= 0 && isExempt(item(m, m_lastChild[n])->getRowType()));
    }
    bool needFold(int m, int parent, int row) const
    {
        return m_boundList[m] >= 0 && row < size(m)
            && (parentRow(m, row) != parent || parent == -1 || rowType(m, parent) != 5 || !isExempt(rowType(m, row)));
    }
    int lastFoldRowNumber(int m, int row) const // the block but its trailing run of exempt children
    {
        for (int r = row + block(m, row); r > row; --r)
            if (parentRow(m, r) != row || !isExempt(rowType(m, r)))
                return r;
        return -1;
    }

    QList<int> randomList()
    {
        QList<int> ids;
        const int end = chance(5) == 0 ? chance(m_parent.size() + 1) : m_parent.size(); // one in five ends early, or is empty
        for (int n = 0; n < end; ++n) {
            const int roll = chance(20); // 0: left out, its children lose their parent row; 1: after a null row; 2: twice
            if (roll == 1)
                ids.append(-1);
            if (roll != 0)
                ids.append(roll == 2 ? QList<int>{n, n} : QList<int>{n});
        }
        return ids;
    }
    void bind(int m, const QList<int>& ids, bool samePointer)
    {
        const int list = samePointer ? m_boundList[m] : (m_boundList[m] == 0 ? 1 : 0);
        QList<BaseDataItem*>& rows = m_lists[m][list];
        rows.clear();
        for (int n : ids)
            rows.append(n < 0 ? nullptr : item(m, n));
        m_ids[m] = ids;
        m_boundList[m] = list;
        m_models[m]->BindSrcData(&rows);
    }
    // The host edits its bound list in place and says where, instead of binding it again.
    QString announce(int m, const QList<int>& ids, int position, int inserted, int removed)
    {
        QList<BaseDataItem*>& rows = m_lists[m][m_boundList[m]];
        rows.erase(rows.begin() + position, rows.begin() + position + removed);
        for (int offset = 0; offset < inserted; ++offset)
            rows.insert(position + offset, ids.at(position + offset) < 0 ? nullptr : item(m, ids.at(position + offset)));
        m_ids[m] = ids;
        const int updates = m_models[m]->updates;
        m_models[m]->listRowsChanged(position, removed, inserted);
        check(m, -1, "UpdateData calls", m_models[m]->updates - updates, 1);
        BaseDataItemModel rebound; // the answers of a model bound afresh to the same rows
        rebound.BindSrcData(&rows);
        for (int row = -1; row <= size(m); ++row) {
            check(m, row, "getParentIndex against a rebind", m_models[m]->getParentIndex(row), rebound.getParentIndex(row));
            check(m, row, "lastFoldRowNumber against a rebind", m_models[m]->lastFoldRowNumber(row), rebound.lastFoldRowNumber(row));
        }
        for (int n = -1; n < m_parent.size(); ++n) {
            BaseDataItem* row = n < 0 ? nullptr : item(m, n);
            check(m, n, "GetRowByItem of node against a rebind", m_models[m]->GetRowByItem(row), rebound.GetRowByItem(row));
        }
        return QStringLiteral("model %1's list: %2 rows out and %3 in at %4, announced").arg(m).arg(removed).arg(inserted).arg(position);
    }
    QString setFold(int m, int row, bool flag)
    {
        m_models[m]->setFold(row, flag);
        const int n = node(m, row), o = 1 - m; // o: the other tree, where the node's counterpart is
        if (n >= 0)
            m_expanded[m][n] = flag;
        if (n < 0 || !item(m, n)->getOwner() || !m_tables[m].getOwner())
            return QStringLiteral("setFold(%1, %2) on model %3").arg(row).arg(flag).arg(m);
        m_workChanged[m] = true;
        bool related = false;
        if (m_following[m] && m_audit.GetRelationItem(item(o, n), related)) { // a follower applies the fold to the counterpart
            m_expanded[o][n] = flag;
            const int tableType = m_tables[o].getTableType();
            const bool keepExempt = item(o, n)->getOwner() && tableType >= 3003 && tableType <= 3006;
            for (int d = n + 1; d <= n + m_block[n]; ++d) // pre-order: each parent is settled first
                m_visible[o][d] = m_visible[o][m_parent[d]] && ((keepExempt && isExempt(item(o, d)->getRowType())) || m_expanded[o][m_parent[d]]);
        }
        return QStringLiteral("setFold(%1, %2) on model %3").arg(row).arg(flag).arg(m);
    }
    template <typename Answer>
    void check(int m, int row, const char* query, const Answer& real, const Answer& reference)
    {
        if (m_difference.isEmpty() && real != reference)
            QDebug(&m_difference).nospace() << "model " << m << " row " << row << ' ' << query << ": model " << real << ", reference " << reference;
    }
    void compareRow(int m, int row)
    {
        BaseDataItemModel& real = *m_models[m];
        const int n = node(m, row), parent = parentRow(m, row);
        const bool hasChildren = n >= 0 && m_block[n] > 0;
        // getParentLevelNeedDrawLine's levels, appended to a sentinel level no row has.
        QVector<int> realLines{-7}, levels{-7}, chain; // chain: the parent row, its parent row... up to the top
        real.getParentLevelNeedDrawLine(row, realLines);
        for (int r = parent; r >= 0; r = parentRow(m, r))
            chain.append(r);
        for (int i = 1; i < chain.size(); ++i)
            levels.append(level(m, chain[i]));
        // A last child's line ends at it: the first line at its parent's level goes.
        for (int i = 0; i + 1 < chain.size(); ++i)
            if (isLastChild(m, chain[i]))
                levels.removeOne(level(m, chain[i + 1]));
        check(m, row, "getParentLevelNeedDrawLine", realLines, levels);
        check(m, row, "getParentIndex", real.getParentIndex(row), parent);
        check(m, row, "getItemLevel", real.getItemLevel(row), level(m, row));
        check(m, row, "getChildrenItemCnt", real.getChildrenItemCnt(row), block(m, row));
        check(m, row, "hasChildrenItem", real.hasChildrenItem(row), hasChildren);
        check(m, row, "getBtnShowState", real.getBtnShowState(row), hasChildren);
        check(m, row, "getFold", real.getFold(row), hasChildren && !m_expanded[m][n]);
        check(m, row, "isVisible", real.isVisible(row), n < 0 || m_visible[m][n]);
        check(m, row, "isLastChild", real.isLastChild(row), isLastChild(m, row));
        check(m, row, "hasFoldParent", real.hasFoldParent(row), hasFoldParent(m, row));
        check(m, row, "hasNotFlodChild", real.hasNotFlodChild(row), hasNotFlodChild(m, row));
        check(m, row, "lastFoldRowNumber", real.lastFoldRowNumber(row), lastFoldRowNumber(m, row));
        for (int candidate : {parent, row - 1, -1})
            check(m, row, "needFold", real.needFold(candidate, row), needFold(m, candidate, row));
    }

    std::mt19937 m_rng;
    QVector<int> m_parent, m_depth, m_lastChild, m_block; // of the shared shape, by node (in pre-order)
    std::array<std::vector<std::unique_ptr<TreeBaseItem>>, 2> m_rows;
    std::array<TableBaseObject, 2> m_tables;
    std::array<WorkBaseObject, 2> m_works;
    AuditBusiness m_audit;
    std::array<std::array<QList<BaseDataItem*>, 2>, 2> m_lists; // two list objects per model, to bind another pointer
    std::array<int, 2> m_boundList{{-1, -1}}; // which of the two is bound, -1 none
    std::array<QList<int>, 2> m_ids; // the bound list as node numbers
    std::array<bool, 2> m_following{{true, true}}, m_workChanged{{false, false}};
    std::array<QVector<bool>, 2> m_expanded, m_visible; // what the rows' flags must be
    std::array<std::unique_ptr<CountingModel>, 2> m_models;
    std::array<std::unique_ptr<ToleratedModelTester>, 2> m_testers; // destroyed first, the last installed first
    QString m_difference;
};

} // namespace

class tst_BaseDataItemModelDifferential : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Out-of-range rows are asked on purpose: their null-row warnings are expected.
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("itemviews.gridmodel.warning=false")); }
    void randomSequencesAgreeWithReference() { runDifferential<Sequence>(100000, 5000, 150); }
};

DIFFERENTIAL_TEST_MAIN(tst_BaseDataItemModelDifferential)
#include "tst_BaseDataItemModelDifferential.moc"
