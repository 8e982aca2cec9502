// Random operation sequences applied both to zTreeItemModel and to a plain reference
// of its rules; every observable answer must agree after every step.
//
// ITEMVIEWS_DIFF_STEPS sets the total number of operations (default 20000, 2000 under
// AddressSanitizer, where every allocation costs far more), ITEMVIEWS_DIFF_SEED (default 1)
// the first sequence's seed; each sequence of 150 steps has its own seed.

#include "TestHelpers.h"

#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zTreeItemModel.h>

#include <QtTest>

#include <array>
#include <memory>
#include <random>
#include <vector>

namespace {

const int treeColumn = 1; // declared and shown column 1; column 0 is an ordinary column
const int stepsPerSequence = 150;
const QList<int> treeRoles{205, 206, 207, 208, 210, 211, 219, 220};

// ---------------------------------------------------------------------------
// The reference: its own tree of plain rows, the rules as straight loops.

struct RefRow
{
    QString name;
    RefRow* parent = nullptr;
    QList<RefRow*> children;
    QList<RefRow*> spans;
    bool expanded = true;
    bool visible = true;
    bool collapsable = true;
    bool dead = false;
};

/// Where an insert put its new row: under parent (null: the bound list) at position.
struct Placement
{
    RefRow* parent = nullptr;
    int position = -1;
};

int indexOf(const QList<RefRow*>& rows, RefRow* row)
{
    for (int position = 0; row && position < rows.size(); ++position) {
        if (rows.at(position) == row)
            return position;
    }
    return -1;
}

int depth(RefRow* row)
{
    int steps = 0;
    for (RefRow* ancestor = row->parent; ancestor; ancestor = ancestor->parent)
        ++steps;
    return steps;
}

void flatten(const QList<RefRow*>& rows, QList<RefRow*>& out)
{
    for (RefRow* row : rows) {
        if (!row)
            continue;
        out.append(row);
        if (!row->children.isEmpty())
            flatten(row->children, out);
    }
}

void descendants(RefRow* row, QList<RefRow*>& out)
{
    for (RefRow* child : row->children) {
        out.append(child);
        descendants(child, out);
    }
}

class RefModel
{
public:
    void bind(QList<RefRow*>* list, bool rebuild)
    {
        bound = list;
        roots.clear();
        original.clear();
        for (RefRow* row : list ? *list : QList<RefRow*>()) {
            if (row && !row->parent)
                roots.append(row);
        }
        if (list && rebuild) {
            flatten(roots, original);
            *list = original;
        } else if (list) {
            original = *list;
        }
        deriveShown();
        maxLevel = 0;
        for (RefRow* row : original) {
            if (row && row->children.isEmpty() && row->parent)
                maxLevel = qMax(maxLevel, depth(row));
        }
    }
    void updateData()
    {
        ++refreshes;
        bind(bound, false);
    }
    void deriveShown()
    {
        shown.clear();
        for (RefRow* row : original) {
            if (row && row->visible)
                shown.append(row);
        }
    }
    RefRow* itemAt(int virtualRow) const { return shown.value(virtualRow, nullptr); }

    void setExpandeItem(RefRow* row, bool expand)
    {
        if (!row)
            return;
        row->expanded = expand;
        setExpandeItemChild(row, expand);
    }
    void setExpandeItemChild(RefRow* row, bool show)
    {
        for (RefRow* child : row->children) {
            child->visible = show;
            setExpandeItemChild(child, child->expanded && child->visible);
        }
    }
    bool expandRequest(int virtualRow, bool expand)
    {
        RefRow* row = itemAt(virtualRow);
        if (!row)
            return false;
        setExpandeItem(row, expand);
        QList<RefRow*> showList, hideList;
        for (RefRow* spanner : original) {
            if (spanner && !spanner->spans.isEmpty())
                (spanner->visible ? showList : hideList).append(spanner->spans);
        }
        for (RefRow* spanned : showList)
            spanned->visible = true;
        for (RefRow* spanned : hideList)
            spanned->visible = false;
        deriveShown();
        return true;
    }

    void setItemCheckState(RefRow* row, int state)
    {
        if (!row)
            return;
        checks[row] = state;
        if (checkType == 0)
            return;
        for (RefRow* ancestor = row->parent; ancestor; ancestor = ancestor->parent)
            checks[ancestor] = summedState(ancestor);
        if (state != 1)
            setChildCheckState(row, state);
    }
    int summedState(RefRow* parent) const
    {
        float sum = 0.0f;
        for (RefRow* child : parent->children) {
            const int state = checks.value(child, 0);
            if (state == 2)
                sum += 1.0f;
            else if (state == 1)
                sum += 0.5f;
        }
        if (sum == 0.0f)
            return 0;
        return sum == float(parent->children.size()) ? 2 : 1;
    }
    void setChildCheckState(RefRow* row, int state)
    {
        for (RefRow* child : row->children) {
            checks[child] = state;
            if (!child->children.isEmpty())
                setChildCheckState(child, state);
        }
    }

    RefRow* newRow()
    {
        pool.push_back(std::make_unique<RefRow>());
        pool.back()->name = QStringLiteral("n%1").arg(createdCount++);
        return pool.back().get();
    }
    Placement insertSibling(int virtualRow, int offset)
    {
        RefRow* row = itemAt(virtualRow);
        if (!row)
            return {};
        Placement placed;
        if (RefRow* parent = row->parent) {
            const int position = indexOf(parent->children, row);
            if (position >= 0) {
                RefRow* created = newRow();
                parent->children.insert(position + offset, created);
                created->parent = parent;
                placed = {parent, position + offset};
            }
        } else if (bound) {
            const int position = indexOf(*bound, row);
            if (position >= 0) {
                bound->insert(position + offset, newRow());
                placed = {nullptr, position + offset};
            }
        }
        updateData();
        return placed;
    }
    Placement insertUnder(int virtualRow)
    {
        RefRow* row = itemAt(virtualRow);
        if (!row)
            return {};
        RefRow* created = newRow();
        row->children.append(created);
        created->parent = row;
        updateData();
        return {row, row->children.size() - 1};
    }

    bool deleteItem(RefRow* row, bool inDeleteAll = false)
    {
        if (!row)
            return false;
        if (row->parent)
            row->parent->children.removeOne(row);
        QList<RefRow*> doomed;
        descendants(row, doomed);
        doomed.append(row);
        for (RefRow* destroyed : doomed) {
            destroyed->dead = true;
            checks.remove(destroyed);
            if (clicked == destroyed)
                clicked = nullptr;
            if (bound && !inDeleteAll)
                bound->removeAll(destroyed);
        }
        deleteLog.append(QString::number(doomed.size()));
        if (!inDeleteAll)
            updateData();
        return true;
    }
    void deleteAll()
    {
        if (!bound)
            return;
        const QList<RefRow*> snapshot = *bound;
        bool deletedAny = false;
        for (RefRow* row : snapshot) {
            if (row && !row->dead)
                deletedAny = deleteItem(row, true) || deletedAny;
        }
        bound->clear();
        if (deletedAny)
            updateData();
    }

    RefRow* ownerOf(RefRow* row) const
    {
        for (RefRow* owner : original) {
            if (owner && indexOf(owner->children, row) >= 0)
                return owner;
        }
        return nullptr;
    }
    QString unameItem(RefRow* row) const
    {
        if (!row)
            return {};
        QStringList parts;
        RefRow* current = row;
        for (RefRow* owner = ownerOf(current); owner; owner = ownerOf(current)) {
            const int position = indexOf(owner->children, current);
            if (position >= 0)
                parts.prepend(QString::number(position));
            current = owner;
        }
        parts.prepend(QString::number(indexOf(roots, current)));
        return parts.join(QLatin1Char('-'));
    }

    bool isLastSibling(RefRow* row) const
    {
        const QList<RefRow*>& siblings = row->parent ? row->parent->children : roots;
        for (int position = siblings.size() - 1; position >= 0; --position) {
            if (siblings.at(position) && siblings.at(position)->visible)
                return siblings.at(position) == row;
        }
        return false;
    }
    QVariant treeRole(int virtualRow, int role) const
    {
        RefRow* row = itemAt(virtualRow);
        if (!row)
            return {};
        switch (role) {
        case 205: return depth(row);
        case 206: return row->children.size();
        case 207: return isLastSibling(row);
        case 208: return row->expanded;
        case 210: return maxLevel;
        case 211: return indexOf(shown, row->parent);
        case 219: return QVariant::fromValue(ancestorLastFlags(row));
        case 220: return hasUncollapsableChild(row);
        }
        return {};
    }
    QList<bool> ancestorLastFlags(RefRow* row) const
    {
        QList<bool> flags;
        for (RefRow* ancestor = row->parent; ancestor; ancestor = ancestor->parent)
            flags.prepend(isLastSibling(ancestor));
        return flags;
    }
    static bool hasUncollapsableChild(RefRow* row)
    {
        for (RefRow* child : row->children) {
            if (!child->collapsable)
                return true;
        }
        return false;
    }
    QVariant checkState(int virtualRow) const
    {
        if (virtualRow < 0)
            return {}; // an invalid index never reaches the model
        RefRow* row = itemAt(virtualRow);
        return checks.contains(row) ? QVariant(checks.value(row)) : QVariant(false);
    }

    QList<RefRow*>* bound = nullptr;
    QList<RefRow*> roots, original, shown;
    int maxLevel = 0;
    QHash<RefRow*, int> checks;
    RefRow* clicked = nullptr;
    int clickedColumn = -1;
    int checkType = 0;
    QStringList deleteLog;
    int refreshes = 0; // updateData calls, as a host subclass overriding UpdateData counts them
    std::vector<std::unique_ptr<RefRow>> pool; // every row ever made; destroyed ones are marked dead
    int createdCount = 0;
};

// ---------------------------------------------------------------------------
// Operations, described by row names and numbers so each side resolves its own rows.

enum class Op { Bind, Refresh, Expand, SetExpande, SetVisible, Check, Mode, InsertAfter, InsertBefore, InsertUnder,
                Delete, DeleteByIndex, DeleteAll, Click, Span, Collapsable, HostAdds };

struct Step
{
    Op op = Op::Refresh;
    int number = 0; // virtual row, or check mode
    int flag = 0; // rebuild, expand, visible, collapsable
    int column = treeColumn;
    int state = 0; // check state written
    bool unbound = false; // bind a null list
    QString row; // "" is a null row
    QStringList rows; // "" entries are null rows
    QString text() const
    {
        static const char* const opNames[] = {"Bind", "Refresh", "Expand", "SetExpande", "SetVisible", "Check", "Mode",
            "InsertAfter", "InsertBefore", "InsertUnder", "Delete", "DeleteByIndex", "DeleteAll", "Click", "Span", "Collapsable", "HostAdds"};
        return QStringLiteral("%1 number %2 flag %3 column %4 state %5%6 row '%7' rows [%8]").arg(opNames[int(op)]).arg(number).arg(flag)
            .arg(column).arg(state).arg(unbound ? " unbound" : "", row, rows.join(','));
    }
};

// Delete lines of the real model, as their row counts; other messages go on to QtTest.
QStringList g_realDeleteLog;
QtMessageHandler g_testlibHandler = nullptr;
void recordDeleteLines(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg || qstrcmp(context.file, "zTreeItemModel") != 0)
        return g_testlibHandler(type, context, message);
    g_realDeleteLog.append(QRegularExpression("(\\d+)").match(message).captured(1));
}

class DiffModel : public zTreeItemModel
{
public:
    void UpdateData() override
    {
        ++refreshes;
        zTreeItemModel::UpdateData();
    }
    using zTreeItemModel::deleteItem;
    /// An index the model may not hand out: reaches the model's own guards for out-of-range rows.
    QModelIndex anyIndex(int virtualRow, int column) const { return createIndex(virtualRow, column); }

    int refreshes = 0;
};

/// The reference side: answers and operations in the form the comparison reads.
struct RefSide
{
    RefRow* at(const QString& name) const { return byName.value(name, nullptr); }
    int rowCount() const { return model.shown.size(); }
    QString nameOf(RefRow* row) const { return row ? row->name : QStringLiteral("null"); }
    QString nameAt(int virtualRow) const { return nameOf(model.itemAt(virtualRow)); }
    QString nameAtOriginal(int originalRow) const { return nameOf(model.original.value(originalRow, nullptr)); }
    int modelIndexInData(int virtualRow) const { return indexOf(model.original, model.itemAt(virtualRow)); }
    QVariant treeRole(int virtualRow, int role) const { return model.treeRole(virtualRow, role); }
    QVariant checkState(int virtualRow) const { return model.checkState(virtualRow); }
    int originalIndexOf(const QString& name) const { return indexOf(model.original, at(name)); }
    int virtualIndexOf(const QString& name) const { return indexOf(model.shown, at(name)); }
    QString uname(const QString& name) const { return model.unameItem(at(name)); }
    QString flags(const QString& name) const
    {
        RefRow* row = at(name);
        return QStringLiteral("%1%2%3").arg(row->expanded).arg(row->visible).arg(row->collapsable);
    }
    QString bound() const
    {
        QStringList names;
        for (RefRow* row : model.bound ? *model.bound : QList<RefRow*>())
            names.append(nameOf(row));
        return model.bound ? names.join(' ') : QStringLiteral("unbound");
    }
    QString clicked() const
    {
        return QStringLiteral("%1 row %2 column %3").arg(nameOf(model.clicked)).arg(indexOf(model.shown, model.clicked)).arg(model.clickedColumn);
    }
    QString takeDeleteLog() { return std::exchange(model.deleteLog, {}).join(' '); }
    int takeRefreshes() { return std::exchange(model.refreshes, 0); }
    QStringList aliveHostRows() const
    {
        QStringList names;
        for (const auto& row : model.pool) {
            if (!row->dead && !row->name.startsWith('n')) // the rows the host made
                names.append(row->name);
        }
        names.sort();
        return names;
    }

    RefModel model;
    QList<RefRow*> hostList;
    QHash<QString, RefRow*> byName;
};

/// The real side: the same answers, read through the model's public interface.
struct RealSide
{
    BaseDataItem* at(const QString& name) const { return byName.value(name, nullptr); }
    QAbstractItemModel* qt() { return &model; }
    int rowCount() { return qt()->rowCount(); }
    QString nameAt(int virtualRow) const { return names({model.findItemByIndex(virtualRow)}); }
    QString nameAtOriginal(int originalRow) const { return names({model.findItemByOriginalIndex(originalRow)}); }
    int modelIndexInData(int virtualRow) const { return model.findModelIndexInData(virtualRow); }
    QVariant treeRole(int virtualRow, int role) { return qt()->data(model.anyIndex(virtualRow, treeColumn), role); }
    QVariant checkState(int virtualRow) { return qt()->data(model.anyIndex(virtualRow, treeColumn), Qt::CheckStateRole); }
    int originalIndexOf(const QString& name) const { return model.findOriginalIndexByItem(at(name)); }
    int virtualIndexOf(const QString& name) const { return model.findVirtualIndexByItem(at(name)); }
    QString uname(const QString& name) { return model.unameItem(static_cast<TreeBaseItem*>(at(name))); }
    QString flags(const QString& name) const
    {
        BaseDataItem* row = at(name);
        if (!row)
            return QStringLiteral("missing");
        return QStringLiteral("%1%2%3").arg(row->getExpanded()).arg(row->getVisible()).arg(row->getCollapsable());
    }
    QString bound() const { return model.GetBindSrcData() ? names(*model.GetBindSrcData()) : QStringLiteral("unbound"); }
    QString clicked() const
    {
        return QStringLiteral("%1 row %2 column %3").arg(names({model.getClickedItem()})).arg(model.getClickedVirtualRow()).arg(model.getClickedVirtualColumn());
    }
    QString takeDeleteLog() { return std::exchange(g_realDeleteLog, {}).join(' '); }
    int takeRefreshes() { return std::exchange(model.refreshes, 0); }
    QStringList aliveHostRows() const
    {
        QStringList alive;
        for (NamedRow* row : hostRows)
            alive.append(row->name());
        alive.sort();
        return alive;
    }

    DiffModel model;
    zBaseHeaderColumn columns;
    QList<BaseDataItem*> hostList;
    QHash<QString, BaseDataItem*> byName;
    RowRegistry hostRows; // the rows the host made that are still alive
};

template <typename Side>
QStringList observe(Side& side, const QStringList& aliveNames, int originalRows)
{
    const int shownRows = side.rowCount();
    QStringList lines{QStringLiteral("row count %1").arg(shownRows)};
    for (int virtualRow = -1; virtualRow <= shownRows; ++virtualRow) {
        QStringList answers{side.nameAt(virtualRow), QString::number(side.modelIndexInData(virtualRow)), describe(side.checkState(virtualRow))};
        for (int role : treeRoles)
            answers.append(describe(side.treeRole(virtualRow, role)));
        lines.append(QStringLiteral("virtual row %1: %2").arg(virtualRow).arg(answers.join(" | ")));
    }
    for (int originalRow = -1; originalRow <= originalRows; ++originalRow)
        lines.append(QStringLiteral("original row %1: %2").arg(originalRow).arg(side.nameAtOriginal(originalRow)));
    lines.append(QStringLiteral("host rows alive: %1").arg(side.aliveHostRows().join(' ')));
    for (const QString& name : aliveNames) {
        lines.append(QStringLiteral("%1: original %2 virtual %3 name '%4' flags %5").arg(name).arg(side.originalIndexOf(name))
                         .arg(side.virtualIndexOf(name)).arg(side.uname(name), side.flags(name)));
    }
    lines.append(QStringLiteral("null: original %1 virtual %2 name '%3'").arg(side.originalIndexOf({})).arg(side.virtualIndexOf({})).arg(side.uname({})));
    lines.append(QStringLiteral("bound: %1").arg(side.bound()));
    lines.append(QStringLiteral("clicked: %1").arg(side.clicked()));
    lines.append(QStringLiteral("deleted: %1").arg(side.takeDeleteLog()));
    lines.append(QStringLiteral("UpdateData calls: %1").arg(side.takeRefreshes()));
    return lines;
}

/// Two identical trees from one seed, one behind the model and one behind the reference.
class Sequence
{
public:
    explicit Sequence(quint32 seed)
        : m_rng(seed)
    {
        for (const char* id : {"code", "name"})
            m_real.columns.addColumn(new zBaseHeaderItem(QLatin1String(id)));
        m_real.model.setHeaderColumn(&m_real.columns);
        m_real.model.setTreeColumn(treeColumn);
        m_tester = std::make_unique<ToleratedModelTester>(&m_real.model, QStringList(Tolerated::doubleSizeHint) + Tolerated::flatRowCountIgnoresParent);
        buildTrees();
    }
    ~Sequence()
    {
        m_tester.reset();
        qDeleteAll(m_real.byName); // every row still alive, those the model made included
        qDeleteAll(RowRegistry(m_real.hostRows)); // only when the model failed to destroy them
    }

    /// Step 0 binds every row, with or without rebuild; later steps are random.
    QString step(int number)
    {
        const Step chosen = number == 0 ? firstStep() : nextStep();
        m_difference = apply(chosen);
        return chosen.text();
    }
    QString difference() const { return m_difference.isEmpty() && !m_tester->failures().isEmpty() ? "model tester: " + m_tester->failures().join("; ") : m_difference; }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_rng); }
    bool chance(int percent) { return pick(100) < percent; }
    QStringList aliveNames() const;
    QString anyRow(const QStringList& alive) { return alive.isEmpty() ? QString() : alive.at(pick(alive.size())); }
    QStringList randomList(const QStringList& alive);
    void buildTrees();
    QString applyToReference(const Step& step);
    QString applyToModel(const Step& step);
    void hostMakesRow(const QString& name, const QString& parent, const std::array<bool, 3>& expandedVisibleCollapsable);
    void nameCreatedRow(const Placement& placed);
    void nameModelRow(const Placement& placed);
    void forgetDestroyedRows();
    Step firstStep();
    Step nextStep();
    /// The first answer on which the two sides differ, or empty.
    QString apply(const Step& step);

    std::mt19937 m_rng;
    QString m_difference;
    RefSide m_ref;
    RealSide m_real;
    std::unique_ptr<ToleratedModelTester> m_tester;
    Placement m_pendingPlacement;
    int m_hostRowsMade = 0;
};

QStringList Sequence::aliveNames() const
{
    QStringList names;
    for (const auto& row : m_ref.model.pool) {
        if (!row->dead)
            names.append(row->name);
    }
    return names;
}

void Sequence::buildTrees()
{
    const int rowCount = 1 + pick(24);
    for (int rowNumber = 0; rowNumber < rowCount; ++rowNumber) {
        const QString parent = rowNumber == 0 || chance(30) ? QString() : QStringLiteral("r%1").arg(pick(rowNumber));
        hostMakesRow(QStringLiteral("r%1").arg(rowNumber), parent, {chance(70), chance(80), chance(85)});
    }
}

// The host makes a row on both sides, last child of parent ("" at the top), and appends it to
// its list; it rebinds later.
void Sequence::hostMakesRow(const QString& name, const QString& parent, const std::array<bool, 3>& expandedVisibleCollapsable)
{
    m_ref.model.pool.push_back(std::make_unique<RefRow>());
    RefRow* refRow = m_ref.model.pool.back().get();
    auto* realRow = new NamedRow(name, &m_real.hostRows);
    refRow->name = name;
    m_ref.byName.insert(name, refRow);
    m_real.byName.insert(name, realRow);
    m_ref.hostList.append(refRow);
    m_real.hostList.append(realRow);
    refRow->expanded = expandedVisibleCollapsable[0];
    refRow->visible = expandedVisibleCollapsable[1];
    refRow->collapsable = expandedVisibleCollapsable[2];
    realRow->setExpanded(refRow->expanded);
    realRow->setVisible(refRow->visible);
    realRow->setCollapsable(refRow->collapsable);
    if (parent.isEmpty())
        return;
    refRow->parent = m_ref.at(parent);
    refRow->parent->children.append(refRow);
    auto* realParent = static_cast<TreeBaseItem*>(m_real.at(parent));
    realParent->setBaseDataItemListDirect(realParent->getBaseDataItemlist() + QList<BaseDataItem*>{realRow});
    realRow->setParentAlone(realParent);
}

// Empty, every row, the root rows, or a shuffled part with null entries, duplicates and orphans.
QStringList Sequence::randomList(const QStringList& alive)
{
    switch (pick(8)) {
    case 0:
        return {};
    case 1:
        return alive;
    case 2: {
        QStringList roots;
        for (const QString& name : alive) {
            if (!m_ref.at(name)->parent)
                roots.append(name);
        }
        return roots;
    }
    }
    QStringList part;
    for (const QString& name : alive) {
        if (chance(60))
            part.insert(pick(part.size() + 1), name);
        if (chance(10))
            part.insert(pick(part.size() + 1), QString());
        if (chance(5))
            part.insert(pick(part.size() + 1), name);
    }
    return part;
}

Step Sequence::nextStep()
{
    static const QVector<QPair<Op, int>> weights{
        {Op::Bind, 6}, {Op::Refresh, 4}, {Op::Expand, 20}, {Op::SetExpande, 6}, {Op::SetVisible, 6}, {Op::Check, 14},
        {Op::Mode, 3}, {Op::InsertAfter, 5}, {Op::InsertBefore, 5}, {Op::InsertUnder, 5}, {Op::Delete, 3},
        {Op::DeleteByIndex, 3}, {Op::DeleteAll, 1}, {Op::Click, 4}, {Op::Span, 4}, {Op::Collapsable, 3}, {Op::HostAdds, 8}};
    const QStringList alive = aliveNames();
    Step step;
    int dice = pick(100);
    for (const auto& weight : weights) {
        step.op = weight.first;
        if ((dice -= weight.second) < 0)
            break;
    }
    step.number = pick(m_ref.rowCount() + 2) - 1; // -1 up to one past the last shown row
    step.flag = chance(50);
    step.column = pick(2);
    step.unbound = chance(5);
    step.row = chance(10) ? QString() : anyRow(alive);
    if (step.op == Op::Bind)
        step.rows = randomList(alive);
    if (step.op == Op::Span) {
        for (int spanned = pick(3); spanned > 0 && !alive.isEmpty(); --spanned)
            step.rows.append(anyRow(alive));
    }
    if (step.op == Op::Check)
        step.state = QVector<int>{0, 1, 2, 2, 0, 3}.at(pick(6));
    if (step.op == Op::Mode)
        step.number = pick(3);
    if (step.op == Op::DeleteAll && chance(70))
        step.op = Op::Refresh; // rarer than one in a hundred: it leaves little to work on
    if (step.op == Op::HostAdds)
        step.rows = QStringList(QStringLiteral("h%1").arg(m_hostRowsMade++));
    // These need a real row: the host never passes null to them.
    const bool needsRow = step.op == Op::SetVisible || step.op == Op::Span || step.op == Op::Collapsable;
    if (needsRow && step.row.isEmpty())
        step.op = Op::Refresh;
    return step;
}

QString Sequence::applyToReference(const Step& step)
{
    RefModel& model = m_ref.model;
    RefRow* row = m_ref.at(step.row);
    const bool validIndex = model.itemAt(step.number) && step.column >= 0;
    QList<RefRow*> rows;
    for (const QString& name : step.rows)
        rows.append(m_ref.at(name));
    switch (step.op) {
    case Op::Bind:
        m_ref.hostList = rows;
        model.bind(step.unbound ? nullptr : &m_ref.hostList, step.flag);
        break;
    case Op::Refresh: model.updateData(); break;
    case Op::Expand: return QVariant(model.expandRequest(step.number, step.flag)).toString();
    case Op::SetExpande: model.setExpandeItem(row, step.flag); break;
    case Op::SetVisible: row->visible = step.flag; break;
    case Op::Check:
        if (validIndex && step.column == treeColumn)
            model.setItemCheckState(model.itemAt(step.number), step.state);
        return QVariant(validIndex).toString();
    case Op::Mode: model.checkType = step.number; break;
    case Op::InsertAfter: nameCreatedRow(model.insertSibling(step.number, 1)); break;
    case Op::InsertBefore: nameCreatedRow(model.insertSibling(step.number, 0)); break;
    case Op::InsertUnder: nameCreatedRow(model.insertUnder(step.number)); break;
    case Op::Delete: return QVariant(model.deleteItem(row)).toString();
    case Op::DeleteByIndex: model.deleteItem(model.itemAt(step.number)); break;
    case Op::DeleteAll: model.deleteAll(); break;
    case Op::Click:
        if (validIndex) {
            model.clicked = model.itemAt(step.number);
            model.clickedColumn = step.column;
        }
        return QVariant(validIndex).toString();
    case Op::Span: row->spans = rows; break;
    case Op::Collapsable: row->collapsable = step.flag; break;
    case Op::HostAdds: break;
    }
    return {};
}

QString Sequence::applyToModel(const Step& step)
{
    DiffModel& model = m_real.model;
    BaseDataItem* row = m_real.at(step.row);
    const QModelIndex anyIndex = model.anyIndex(step.number, step.column);
    const QModelIndex validIndex = model.index(step.number, step.column);
    QList<BaseDataItem*> rows;
    for (const QString& name : step.rows)
        rows.append(m_real.at(name));
    switch (step.op) {
    case Op::Bind:
        m_real.hostList = rows;
        model.BindSrcData(step.unbound ? nullptr : &m_real.hostList, step.flag);
        model.zBaseModel::UpdateData();
        break;
    case Op::Refresh: model.UpdateData(); break;
    case Op::Expand: return m_real.qt()->setData(anyIndex, bool(step.flag), zTreeItemModel::TreeExpandedRole) ? "true" : "false";
    case Op::SetExpande: model.setExpandeItem(row, step.flag); break;
    case Op::SetVisible: model.setRowIsVisible(row, step.flag); break;
    case Op::Check: return m_real.qt()->setData(validIndex, step.state, Qt::CheckStateRole) ? "true" : "false";
    case Op::Mode: model.setProperty("checkType", step.number); break;
    case Op::InsertAfter: model.insertItemAfterIndex(anyIndex); break;
    case Op::InsertBefore: model.insertItemBeforeIndex(anyIndex); break;
    case Op::InsertUnder: model.insertItemUnderIndex(anyIndex); break;
    case Op::Delete: return model.deleteItem(row) ? "true" : "false";
    case Op::DeleteByIndex: model.deleteItemByIndex(anyIndex); break;
    case Op::DeleteAll: model.deleteAll(); break;
    case Op::Click: return m_real.qt()->setData(validIndex, step.column, zTreeItemModel::ClickedCellRole) ? "true" : "false";
    case Op::Span: row->setSpanChildrenRows(rows); break;
    case Op::Collapsable: row->setCollapsable(step.flag); break;
    case Op::HostAdds: break;
    }
    return {};
}

// The reference has placed a new row: remember where, so that the model's row there gets its name.
void Sequence::nameCreatedRow(const Placement& placed)
{
    if (placed.position < 0)
        return;
    m_ref.byName.insert(m_ref.model.pool.back()->name, m_ref.model.pool.back().get());
    m_pendingPlacement = placed;
}

void Sequence::nameModelRow(const Placement& placed)
{
    BaseDataItem* parent = placed.parent ? m_real.at(placed.parent->name) : nullptr;
    BaseDataItem* created = parent ? parent->getBaseDataItemlist().value(placed.position) : m_real.hostList.value(placed.position);
    if (!created || created->getValue(1).isValid())
        return; // the model put it elsewhere: the comparison shows where
    created->setValue(1, m_ref.model.pool.back()->name);
    m_real.byName.insert(m_ref.model.pool.back()->name, created);
}

// The host's part after a delete: forget the destroyed rows and drop them from every span list.
void Sequence::forgetDestroyedRows()
{
    QList<RefRow*> destroyed;
    QList<BaseDataItem*> realDestroyed;
    for (const auto& row : m_ref.model.pool) {
        if (row->dead && m_ref.byName.remove(row->name)) {
            destroyed.append(row.get());
            realDestroyed.append(m_real.byName.take(row->name));
        }
    }
    for (RefRow* alive : qAsConst(m_ref.byName)) {
        for (RefRow* row : destroyed)
            alive->spans.removeAll(row);
    }
    for (BaseDataItem* alive : qAsConst(m_real.byName)) {
        for (BaseDataItem* row : realDestroyed)
            alive->getSpanChildrenRows()->removeAll(row);
    }
}

QString Sequence::apply(const Step& step)
{
    m_pendingPlacement = {};
    if (step.op == Op::HostAdds)
        hostMakesRow(step.rows.first(), step.row, {true, bool(step.flag), true});
    const QString expectedAnswer = applyToReference(step);
    const QString answer = applyToModel(step);
    if (m_pendingPlacement.position >= 0)
        nameModelRow(m_pendingPlacement);
    forgetDestroyedRows();
    // Checked first: a row the model destroyed and the reference kept must not be read.
    if (m_ref.aliveHostRows() != m_real.aliveHostRows())
        return QStringLiteral("alive rows: reference '%1', model '%2'").arg(m_ref.aliveHostRows().join(' '), m_real.aliveHostRows().join(' '));
    const QStringList alive = aliveNames();
    const int originalRows = m_ref.model.original.size();
    const QStringList expected = QStringList(QStringLiteral("answer ") + expectedAnswer) + observe(m_ref, alive, originalRows);
    const QStringList actual = QStringList(QStringLiteral("answer ") + answer) + observe(m_real, alive, originalRows);
    for (int line = 0; line < qMax(expected.size(), actual.size()); ++line) {
        if (expected.value(line) != actual.value(line))
            return QStringLiteral("reference '%1', model '%2'").arg(expected.value(line), actual.value(line));
    }
    return {};
}

Step Sequence::firstStep()
{
    Step bind{Op::Bind, 0, chance(50)};
    bind.rows = aliveNames();
    return bind;
}

} // namespace

class tst_zTreeItemModelDifferential : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { g_testlibHandler = qInstallMessageHandler(recordDeleteLines); }
    void cleanupTestCase() { qInstallMessageHandler(g_testlibHandler); }
    void randomSequencesAgreeWithReference() { runDifferential<Sequence>(20000, 2000, stepsPerSequence); }
};

DIFFERENTIAL_TEST_MAIN(tst_zTreeItemModelDifferential)
#include "tst_zTreeItemModelDifferential.moc"
