// Random operation sequences applied both to zTreeItemModel and to a short statement of its rules;
// every observable answer must agree after every step.
//
// ITEMVIEWS_DIFF_STEPS sets the total number of operations (default 20000, 2000 under
// AddressSanitizer, where every allocation costs far more), ITEMVIEWS_DIFF_SEED (default 1)
// the first sequence's seed; each sequence of 150 steps has its own seed.

#include "TestHelpers.h"

#include <zBaseHeaderItem.h>

#include <QRegularExpression>

#include <algorithm>
#include <random>

namespace {

const int treeColumn = 1; // declared and shown column 1; column 0 is an ordinary column
const int stepsPerSequence = 150;

/// A row of the reference, known by name ("" is a null row); the tree lives in the names.
struct Row
{
    QString parent;
    QStringList children, spans;
    bool expanded = true, visible = true, collapsable = true;
};

/// The rules, on names. The model's own lists are snapshots taken when it binds (and, for the shown
/// rows, when an expand request re-derives them); flags, links and check states are live.
struct Reference
{
    QHash<QString, Row> rows; // the rows alive, host-made (r*, h*) and model-made (n*)
    QStringList alive; // their names in the order they were made
    QStringList host; // the host's list
    bool unbound = true;
    QStringList roots, original, shown;
    int maxLevel = 0, mode = 0, clickedColumn = -1, refreshes = 0, made = 0;
    QHash<QString, int> checks;
    QString clicked;
    QStringList log;
    QSet<QString> hiddenNames; // the probe model's getRowIsVisible hides these whatever their flag

    bool shows(const QString& name) const { return rows.value(name).visible && !hiddenNames.contains(name); }

    int depth(QString name) const
    {
        int steps = 0;
        while (!(name = rows.value(name).parent).isEmpty())
            ++steps;
        return steps;
    }
    QStringList preOrder(QStringList pending) const
    {
        QStringList out;
        while (!pending.isEmpty()) {
            out.append(pending.takeFirst());
            pending = rows.value(out.last()).children + pending;
        }
        return out;
    }
    // Root rows are the list's rows without a parent; a rebuild flattens them into the host's list.
    // The shown rows are the original rows whose visible flag is set.
    void bind(bool rebuild)
    {
        const QStringList list = unbound ? QStringList() : host;
        roots.clear();
        std::copy_if(list.cbegin(), list.cend(), std::back_inserter(roots),
                     [this](const QString& name) { return !name.isEmpty() && rows.value(name).parent.isEmpty(); });
        original = rebuild && !unbound ? (host = preOrder(roots)) : list;
        maxLevel = 0; // deepest childless row with a parent
        for (const QString& name : original) {
            if (!name.isEmpty() && rows.value(name).children.isEmpty() && !rows.value(name).parent.isEmpty())
                maxLevel = qMax(maxLevel, depth(name));
        }
        deriveShown();
    }
    void deriveShown()
    {
        shown.clear();
        std::copy_if(original.cbegin(), original.cend(), std::back_inserter(shown),
                     [this](const QString& name) { return !name.isEmpty() && shows(name); });
    }
    void refresh() { ++refreshes; bind(false); }
    // Children take the row's state, grandchildren on only through expanded children.
    void setExpande(const QString& name, bool expand)
    {
        if (name.isEmpty())
            return;
        rows[name].expanded = expand;
        QList<QPair<QString, bool>> pending{{name, expand}};
        while (!pending.isEmpty()) {
            const auto [parent, show] = pending.takeLast();
            const QStringList children = rows.value(parent).children;
            for (const QString& child : children) {
                rows[child].visible = show;
                pending.append({child, rows[child].expanded && shows(child)});
            }
        }
    }
    // Spanned rows then follow their spanner, hidden when any hidden spanner lists them.
    bool expandRequest(int virtualRow, bool expand)
    {
        const QString name = shown.value(virtualRow);
        if (name.isEmpty())
            return false;
        setExpande(name, expand);
        QStringList show, hide;
        for (const QString& spanner : original)
            (shows(spanner) ? show : hide) += rows.value(spanner).spans;
        for (const QString& spanned : show)
            rows[spanned].visible = true;
        for (const QString& spanned : hide)
            rows[spanned].visible = false;
        deriveShown();
        return true;
    }
    // With a mode, ancestors sum their children (1 checked, 1/2 partial) and a full state goes down.
    void check(const QString& name, int state)
    {
        checks[name] = state;
        if (mode == 0)
            return;
        for (QString ancestor = rows.value(name).parent; !ancestor.isEmpty(); ancestor = rows.value(ancestor).parent) {
            float sum = 0.0f;
            const QStringList children = rows.value(ancestor).children;
            for (const QString& child : children)
                sum += checks.value(child) == 2 ? 1.0f : checks.value(child) == 1 ? 0.5f : 0.0f;
            checks[ancestor] = sum == 0.0f ? 0 : sum == float(children.size()) ? 2 : 1;
        }
        for (const QString& descendant : state == 1 ? QStringList() : preOrder(rows.value(name).children))
            checks[descendant] = state;
    }
    /// A new row before (offset 0), after (1) or under (-1) the shown row; where it went (position -1: nowhere).
    QPair<QString, int> insert(int virtualRow, int offset)
    {
        const QString at = shown.value(virtualRow);
        if (at.isEmpty())
            return {{}, -1};
        QPair<QString, int> placed{offset < 0 ? at : rows.value(at).parent, -1};
        QStringList* siblings = !placed.first.isEmpty() ? &rows[placed.first].children : unbound ? nullptr : &host;
        const int position = siblings ? siblings->indexOf(at) : -1;
        placed.second = offset < 0 ? siblings->size() : position < 0 ? -1 : position + offset;
        if (placed.second >= 0) {
            const QString name = QStringLiteral("n%1").arg(made++);
            siblings->insert(placed.second, name);
            rows[name].parent = placed.first; // after the insert: a new key may move the rows
            alive.append(name);
        }
        refresh();
        return placed;
    }
    // The row leaves its parent; it and its subtree leave the host's list, check states and click.
    bool remove(const QString& name, bool inDeleteAll = false)
    {
        if (name.isEmpty())
            return false;
        const QStringList doomed = preOrder(rows.value(name).children) << name;
        if (!rows.value(name).parent.isEmpty())
            rows[rows.value(name).parent].children.removeOne(name);
        for (const QString& gone : doomed) {
            rows.remove(gone);
            alive.removeOne(gone);
            checks.remove(gone);
            if (clicked == gone)
                clicked.clear();
            if (!inDeleteAll && !unbound)
                host.removeAll(gone);
            for (Row& row : rows) // the host's part: no span lists a destroyed row
                row.spans.removeAll(gone);
        }
        log.append(QString::number(doomed.size()));
        if (!inDeleteAll)
            refresh();
        return true;
    }
    void removeAll()
    {
        bool deletedAny = false; // the host's list is unused while unbound
        for (const QString& name : unbound ? QStringList() : std::exchange(host, {}))
            deletedAny = (rows.contains(name) && remove(name, true)) || deletedAny;
        if (deletedAny)
            refresh();
    }
    // Positions from the root row down, climbing to the first original row that lists the row as its child.
    QString uname(const QString& name) const
    {
        if (name.isEmpty())
            return {};
        const auto ownerOf = [this](const QString& child) {
            const auto owner = std::find_if(original.cbegin(), original.cend(), [&](const QString& row) { return rows.value(row).children.contains(child); });
            return owner == original.cend() ? QString() : *owner;
        };
        QStringList parts;
        QString at = name;
        for (QString owner = ownerOf(at); !owner.isEmpty(); owner = ownerOf(at)) {
            parts.prepend(QString::number(rows.value(owner).children.indexOf(at)));
            at = owner;
        }
        parts.prepend(QString::number(roots.indexOf(at)));
        return parts.join(QLatin1Char('-'));
    }
    // Whether the row is the last of its siblings (its parent's children, or the root rows) now visible.
    bool isLastShown(const QString& name) const
    {
        const QString parent = rows.value(name).parent;
        const QStringList siblings = parent.isEmpty() ? roots : rows.value(parent).children;
        const auto last = std::find_if(siblings.crbegin(), siblings.crend(),
                                       [this](const QString& sibling) { return shows(sibling); });
        return last != siblings.crend() && *last == name;
    }
    /// The answers to roles 205, 206, 207, 208, 210, 211, 219 and 220 of a shown row.
    QVariantList treeRoles(const QString& name) const
    {
        const Row row = rows.value(name);
        QList<bool> lastShown;
        for (QString ancestor = row.parent; !ancestor.isEmpty(); ancestor = rows.value(ancestor).parent)
            lastShown.prepend(isLastShown(ancestor));
        const bool fixedChild = std::any_of(row.children.cbegin(), row.children.cend(), [this](const QString& child) { return !rows.value(child).collapsable; });
        return {depth(name), int(row.children.size()), isLastShown(name), row.expanded, maxLevel, int(shown.indexOf(row.parent)), QVariant::fromValue(lastShown), fixedChild};
    }
};

enum Op { Bind, Refresh, Expand, SetExpande, SetVisible, Check, Mode, InsertAfter, InsertBefore, InsertUnder,
          Delete, DeleteByIndex, DeleteAll, Click, Span, Collapsable, HostAdds, HostMoves };

struct Step
{
    Op op = Refresh;
    // number: virtual row or mode; flag: rebuild, expand, visible or collapsable; state: check state written
    int number = 0, flag = 0, column = treeColumn, state = 0;
    bool unbound = false; // bind a null list
    QString row; // "" is a null row
    QStringList rows; // "" entries are null rows
    QString text() const
    {
        static const char* const opNames[] = {"Bind", "Refresh", "Expand", "SetExpande", "SetVisible", "Check", "Mode",
            "InsertAfter", "InsertBefore", "InsertUnder", "Delete", "DeleteByIndex", "DeleteAll", "Click", "Span", "Collapsable", "HostAdds", "HostMoves"};
        return QStringLiteral("%1 number %2 flag %3 column %4 state %5%6 row '%7' rows [%8]").arg(opNames[op]).arg(number).arg(flag)
            .arg(column).arg(state).arg(unbound ? " unbound" : "", row, rows.join(','));
    }
};

QString orNull(const QString& name) { return name.isEmpty() ? QStringLiteral("null") : name; }
int position(const QStringList& list, const QString& name) { return name.isEmpty() ? -1 : list.indexOf(name); }

/// One tree of rows behind the model and its mirror in the reference, from one seed.
class Sequence
{
public:
    explicit Sequence(quint32 seed)
        : m_rng(seed)
    {
        for (const char* id : {"code", "name"})
            m_columns.addColumn(new zBaseHeaderItem(QLatin1String(id)));
        m_model.setHeaderColumn(&m_columns);
        m_model.setTreeColumn(treeColumn);
        m_tester = std::make_unique<ToleratedModelTester>(&m_model, QStringList(Tolerated::doubleSizeHint) + Tolerated::flatRowCountIgnoresParent);
        const int rowCount = 1 + pick(24);
        for (int rowNumber = 0; rowNumber < rowCount; ++rowNumber) {
            const QString parent = rowNumber == 0 || chance(30) ? QString() : QStringLiteral("r%1").arg(pick(rowNumber));
            const bool expanded = chance(70), visible = chance(80), collapsable = chance(85);
            hostMakesRow(QStringLiteral("r%1").arg(rowNumber), parent, expanded, visible, collapsable);
            if (chance(10)) // hidden by the subclass's getRowIsVisible, not by its flag
                m_ref.hiddenNames.insert(QStringLiteral("r%1").arg(rowNumber));
        }
        m_model.hiddenNames = m_ref.hiddenNames;
    }
    ~Sequence()
    {
        m_tester.reset();
        qDeleteAll(m_byName); // every row still alive, those the model made included
        qDeleteAll(RowRegistry(m_hostRows)); // only when the model failed to destroy them
    }
    /// Step 0 binds every row, with or without rebuild; later steps are random.
    QString step(int number)
    {
        const Step chosen = number > 0 ? nextStep() : Step{Bind, 0, chance(50), treeColumn, 0, false, {}, m_ref.alive};
        if (chosen.op == HostAdds)
            hostMakesRow(chosen.rows.first(), chosen.row, true, chosen.flag, true);
        apply(chosen);
        m_difference = compare();
        if (m_difference.isEmpty() && m_synced)
            m_difference = compareWithRebind();
        return chosen.text();
    }
    QString difference() const { return m_difference; }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_rng); }
    bool chance(int percent) { return pick(100) < percent; }
    QString anyRow(const QStringList& alive) { return alive.isEmpty() ? QString() : alive.at(pick(alive.size())); }
    QList<BaseDataItem*> rows(const QStringList& names) const
    {
        QList<BaseDataItem*> out;
        for (const QString& name : names)
            out.append(m_byName.value(name));
        return out;
    }
    // The host makes a row on both sides, last child of parent ("" at the top), and appends it to its list.
    void hostMakesRow(const QString& name, const QString& parent, bool expanded, bool visible, bool collapsable)
    {
        auto* row = new NamedRow(name, &m_hostRows);
        row->setExpanded(expanded);
        row->setVisible(visible);
        row->setCollapsable(collapsable);
        m_byName.insert(name, row);
        m_host.append(row);
        m_ref.rows.insert(name, Row{parent, {}, {}, expanded, visible, collapsable});
        m_ref.alive.append(name);
        m_ref.host.append(name);
        if (parent.isEmpty())
            return;
        m_ref.rows[parent].children.append(name);
        auto* realParent = static_cast<TreeBaseItem*>(m_byName.value(parent));
        realParent->setBaseDataItemListDirect(realParent->getBaseDataItemlist() + QList<BaseDataItem*>{row});
        row->setParentAlone(realParent);
    }
    Step nextStep();
    void apply(const Step& step);
    void hostMoves(const Step& step);
    QString compare();
    QString compareWithRebind();

    std::mt19937 m_rng;
    Reference m_ref;
    TreeProbeModel m_model; // counts UpdateData calls, as a host subclass overriding it would
    zBaseHeaderColumn m_columns;
    QList<BaseDataItem*> m_host;
    QHash<QString, BaseDataItem*> m_byName;
    RowRegistry m_hostRows; // the rows the host made that are still alive
    std::unique_ptr<ToleratedModelTester> m_tester;
    QPair<QString, QString> m_answers; // the operation's return value: the reference's, the model's
    QString m_difference;
    int m_hostRowsMade = 0;
    bool m_synced = false; // the model has followed every change to the rows and the list since it derived them
    struct Stash
    {
        QStringList rows; // a subtree the host took out, in pre-order
        QString parent;
        int childPos = -1, listPos = -1;
    } m_stash;
};

Step Sequence::nextStep()
{
    static const int weights[] = {6, 4, 15, 6, 6, 12, 3, 5, 5, 5, 3, 3, 1, 4, 4, 3, 4, 11}; // by Op, out of 100
    const QStringList alive = m_ref.alive;
    Step step;
    for (int dice = pick(100), op = 0; dice >= 0; dice -= weights[op++])
        step.op = Op(op);
    step.number = pick(m_ref.shown.size() + 2) - 1; // -1 up to one past the last shown row
    step.flag = chance(50);
    step.column = pick(2);
    step.unbound = chance(5);
    step.row = chance(10) ? QString() : anyRow(alive);
    const int listKind = pick(8), percents[] = {60, 10, 5};
    for (const QString& name : step.op == Bind ? alive : QStringList()) {
        if (m_stash.rows.contains(name))
            continue; // the host keeps a subtree it took out to itself
        // Empty, every row, the root rows, or a shuffled part with null entries, duplicates and orphans.
        if (listKind == 1 || (listKind == 2 && m_ref.rows.value(name).parent.isEmpty()))
            step.rows.append(name);
        for (int copy = 0; listKind > 2 && copy < 3; ++copy) {
            if (chance(percents[copy]))
                step.rows.insert(pick(step.rows.size() + 1), copy == 1 ? QString() : name);
        }
    }
    for (int spanned = step.op == Span ? pick(3) : 0; spanned > 0 && !alive.isEmpty(); --spanned)
        step.rows.append(anyRow(alive));
    if (step.op == Check)
        step.state = QVector<int>{0, 1, 2, 2, 0, 3}.at(pick(6));
    if (step.op == Mode)
        step.number = pick(3);
    if (step.op == DeleteAll && chance(70))
        step.op = Refresh; // rarer than one in a hundred: it leaves little to work on
    if (step.op == HostAdds)
        step.rows = QStringList(QStringLiteral("h%1").arg(m_hostRowsMade++));
    // These need a real row: the host never passes null to them.
    if ((step.op == SetVisible || step.op == Span || step.op == Collapsable) && step.row.isEmpty())
        step.op = Refresh;
    return step;
}

void Sequence::apply(const Step& step)
{
    Reference& ref = m_ref;
    QAbstractItemModel* qt = &m_model;
    BaseDataItem* row = m_byName.value(step.row);
    const QModelIndex anyIndex = m_model.staleIndex(step.number, step.column), validIndex = qt->index(step.number, step.column);
    const QString rowShown = ref.shown.value(step.number);
    m_answers = {};
    QList<BaseDataItem*> rows;
    for (const QString& name : step.rows)
        rows.append(m_byName.value(name));
    QPair<QString, int> placed{{}, -1};
    const int refreshesBefore = ref.refreshes;
    const auto say = [](bool answer) { return QString(answer ? "true" : "false"); };
    switch (step.op) {
    case Bind:
        ref.host = step.rows;
        ref.unbound = step.unbound;
        ref.bind(step.flag);
        m_host = rows;
        m_model.BindSrcData(step.unbound ? nullptr : &m_host, step.flag);
        m_model.zBaseModel::UpdateData();
        break;
    case Refresh: ref.refresh(); m_model.UpdateData(); break;
    case Expand:
        m_answers = {say(ref.expandRequest(step.number, step.flag)), say(qt->setData(anyIndex, bool(step.flag), zTreeItemModel::TreeExpandedRole))};
        break;
    case SetExpande: ref.setExpande(step.row, step.flag); m_model.setExpandeItem(row, step.flag); break;
    case SetVisible: ref.rows[step.row].visible = step.flag; m_model.setRowIsVisible(row, step.flag); break;
    case Check:
        if (step.column == treeColumn && !rowShown.isEmpty())
            ref.check(rowShown, step.state);
        m_answers = {say(!rowShown.isEmpty()), say(qt->setData(validIndex, step.state, Qt::CheckStateRole))};
        break;
    case Mode: ref.mode = step.number; m_model.setProperty("checkType", step.number); break;
    case InsertAfter: placed = ref.insert(step.number, 1); m_model.insertItemAfterIndex(anyIndex); break;
    case InsertBefore: placed = ref.insert(step.number, 0); m_model.insertItemBeforeIndex(anyIndex); break;
    case InsertUnder: placed = ref.insert(step.number, -1); m_model.insertItemUnderIndex(anyIndex); break;
    case Delete: m_answers = {say(ref.remove(step.row)), say(m_model.deleteItem(row))}; break;
    case DeleteByIndex: ref.remove(rowShown); m_model.deleteItemByIndex(anyIndex); break;
    case DeleteAll: ref.removeAll(); m_model.deleteAll(); break;
    case Click:
        if (!rowShown.isEmpty()) {
            ref.clicked = rowShown;
            ref.clickedColumn = step.column;
        }
        m_answers = {say(!rowShown.isEmpty()), say(qt->setData(validIndex, step.column, zTreeItemModel::ClickedCellRole))};
        break;
    case Span: ref.rows[step.row].spans = step.rows; row->setSpanChildrenRows(rows); break;
    case Collapsable: ref.rows[step.row].collapsable = step.flag; row->setCollapsable(step.flag); break;
    case HostAdds: break;
    case HostMoves: hostMoves(step); break;
    }
    const QString stashTop = m_stash.rows.value(0);
    if (!m_stash.parent.isEmpty() && !ref.rows.contains(m_stash.parent) && ref.rows.contains(stashTop)) {
        static_cast<TreeBaseItem*>(m_byName.value(stashTop))->setParentAlone(nullptr); // the host's part: no link to a destroyed row
        ref.rows[stashTop].parent.clear();
        m_stash.parent.clear();
    }
    if (step.op == Bind || ref.refreshes > refreshesBefore) // an expand request derives the shown rows, not the list or the levels
        m_synced = true;
    else if (step.op == SetExpande || step.op == SetVisible || step.op == HostAdds)
        m_synced = false; // flags or the list changed behind the model: only a rebind follows them
    // The model's new row, where the reference put its own, gets the reference's name.
    BaseDataItem* parent = m_byName.value(placed.first);
    BaseDataItem* created = placed.second < 0 ? nullptr : parent ? parent->getBaseDataItemlist().value(placed.second) : m_host.value(placed.second);
    if (created && !created->getValue(1).isValid()) { // else the model put it elsewhere: the comparison shows where
        created->setValue(1, QStringLiteral("n%1").arg(ref.made - 1));
        m_byName.insert(created->getValue(1).toString(), created);
    }
    // The host's part after a delete: forget the destroyed rows and drop them from every span list.
    QList<BaseDataItem*> destroyed;
    for (const QString& name : m_byName.keys()) {
        if (!ref.rows.contains(name))
            destroyed.append(m_byName.take(name));
    }
    for (BaseDataItem* alive : qAsConst(m_byName)) {
        for (BaseDataItem* row : qAsConst(destroyed))
            alive->getSpanChildrenRows()->removeAll(row);
    }
}

// The host's own edits, announced with boundRowsChanged as a viewer does: a subtree taken out of a list in
// tree pre-order, put back, or folded in place. Without a synced model in such a list: a plain refresh.
void Sequence::hostMoves(const Step& step)
{
    Reference& ref = m_ref;
    const auto rootsOf = [&ref](const QStringList& list) {
        QStringList roots;
        std::copy_if(list.cbegin(), list.cend(), std::back_inserter(roots), [&ref](const QString& name) { return !name.isEmpty() && ref.rows.value(name).parent.isEmpty(); });
        return roots;
    };
    const bool preOrder = !ref.unbound && m_synced && ref.host == ref.preOrder(rootsOf(ref.host));
    const auto link = [this](const QString& parent, const QStringList& children) {
        if (auto* real = static_cast<TreeBaseItem*>(m_byName.value(parent)))
            real->setBaseDataItemListDirect(rows(children));
    };
    const bool intact = !m_stash.rows.isEmpty() && (m_stash.parent.isEmpty() || ref.rows.contains(m_stash.parent))
        && std::all_of(m_stash.rows.cbegin(), m_stash.rows.cend(), [&ref](const QString& name) { return ref.rows.contains(name); });
    if (!intact)
        m_stash = {}; // a row of it was destroyed since
    if (intact && preOrder) { // back where it was taken out, if that is still a place in pre-order
        QStringList back = ref.host;
        const int at = qMin(m_stash.listPos, int(back.size()));
        for (int offset = 0; offset < m_stash.rows.size(); ++offset)
            back.insert(at + offset, m_stash.rows.at(offset));
        QStringList* siblings = m_stash.parent.isEmpty() ? nullptr : &ref.rows[m_stash.parent].children;
        const QStringList wasChildren = siblings ? *siblings : QStringList();
        if (siblings)
            siblings->insert(qBound(0, m_stash.childPos, int(siblings->size())), m_stash.rows.first());
        if (back == ref.preOrder(rootsOf(back))) {
            ref.host = back;
            m_host = rows(back);
            if (siblings)
                link(m_stash.parent, *siblings);
            ref.refresh();
            m_model.boundRowsChanged(at, 0, int(m_stash.rows.size()));
            m_stash = {};
            return;
        }
        if (siblings)
            *siblings = wasChildren;
    }
    const int at = position(ref.host, step.row);
    if (!preOrder || at < 0) {
        ref.refresh();
        m_model.UpdateData();
        return;
    }
    const QStringList subtree = ref.preOrder({step.row});
    const QString parent = ref.rows.value(step.row).parent;
    if (step.flag && m_stash.rows.isEmpty()) {
        m_stash = {subtree, parent, int(ref.rows.value(parent).children.indexOf(step.row)), at};
        ref.host.erase(ref.host.begin() + at, ref.host.begin() + at + subtree.size());
        m_host = rows(ref.host);
        if (!parent.isEmpty()) {
            ref.rows[parent].children.removeOne(step.row);
            link(parent, ref.rows.value(parent).children);
        }
        ref.refresh();
        m_model.boundRowsChanged(at, int(subtree.size()), 0);
        return;
    }
    const bool expand = chance(50);
    ref.setExpande(step.row, expand);
    m_model.setExpandeItem(m_byName.value(step.row), expand);
    ref.refresh();
    m_model.boundRowsChanged(at, int(subtree.size()), int(subtree.size()));
}

// After an edit the model answers as a second one bound afresh, without flattening, to the same rows.
QString Sequence::compareWithRebind()
{
    TreeProbeModel rebound;
    rebound.hiddenNames = m_model.hiddenNames;
    rebound.setHeaderColumn(&m_columns);
    rebound.setTreeColumn(treeColumn);
    rebound.BindSrcData(m_model.GetBindSrcData(), false);
    QString first;
    const auto same = [&first](const QString& subject, const QVariant& incremental, const QVariant& rebind) {
        if (first.isEmpty() && describe(incremental) != describe(rebind))
            first = QStringLiteral("against a rebind: %1: model '%2', rebound '%3'").arg(subject, describe(incremental), describe(rebind));
    };
    QAbstractItemModel* qt = &m_model;
    QAbstractItemModel* other = &rebound;
    same("row count", qt->rowCount(), other->rowCount());
    for (int virtualRow = -1; virtualRow <= qt->rowCount(); ++virtualRow) {
        same(QStringLiteral("virtual row %1").arg(virtualRow), names({m_model.findItemByIndex(virtualRow)}), names({rebound.findItemByIndex(virtualRow)}));
        same(QStringLiteral("original row of virtual row %1").arg(virtualRow), m_model.findModelIndexInData(virtualRow), rebound.findModelIndexInData(virtualRow));
        for (int role : {205, 206, 207, 208, 210, 211, 219, 220})
            same(QStringLiteral("virtual row %1 role %2").arg(virtualRow).arg(role), qt->data(m_model.staleIndex(virtualRow, treeColumn), role),
                 other->data(rebound.staleIndex(virtualRow, treeColumn), role));
    }
    for (int originalRow = -1; originalRow <= m_ref.original.size(); ++originalRow)
        same(QStringLiteral("original row %1").arg(originalRow), names({m_model.findItemByOriginalIndex(originalRow)}), names({rebound.findItemByOriginalIndex(originalRow)}));
    for (const QString& name : m_ref.alive + QStringList(QString())) {
        BaseDataItem* row = m_byName.value(name);
        same(orNull(name) + ": original row", m_model.findOriginalIndexByItem(row), rebound.findOriginalIndexByItem(row));
        same(orNull(name) + ": virtual row", m_model.findVirtualIndexByItem(row), rebound.findVirtualIndexByItem(row));
        same(orNull(name) + ": name", m_model.unameItem(static_cast<TreeBaseItem*>(row)), rebound.unameItem(static_cast<TreeBaseItem*>(row)));
    }
    return first;
}

QString Sequence::compare()
{
    QString first;
    // Labels are put together only for the first disagreement: the comparisons run millions of times.
    const auto same = [&first](const QString& subject, const char* what, const QVariant& expected, const QVariant& actual) {
        if (first.isEmpty() && describe(expected) != describe(actual))
            first = QStringLiteral("%1%2: reference '%3', model '%4'").arg(subject, QLatin1String(what), describe(expected), describe(actual));
    };
    same({}, "answer", m_answers.first, m_answers.second);
    QStringList hostMade = QStringList(m_ref.alive).filter(QRegularExpression("^[rh]")), hostAlive; // n*: made by the model
    for (NamedRow* row : qAsConst(m_hostRows))
        hostAlive.append(row->name());
    hostMade.sort();
    hostAlive.sort();
    same({}, "host rows alive", hostMade.join(' '), hostAlive.join(' '));
    if (!first.isEmpty())
        return first; // a row the model destroyed and the reference kept must not be read
    QAbstractItemModel* qt = &m_model;
    const int shownRows = qt->rowCount();
    same({}, "row count", int(m_ref.shown.size()), shownRows);
    static const int treeRoles[] = {205, 206, 207, 208, 210, 211, 219, 220};
    static const char* const treeRoleNames[] = {" role 205", " role 206", " role 207", " role 208", " role 210", " role 211", " role 219", " role 220"};
    for (int virtualRow = -1; virtualRow <= shownRows; ++virtualRow) {
        const QString name = m_ref.shown.value(virtualRow), at = QStringLiteral("virtual row %1").arg(virtualRow);
        const QModelIndex index = m_model.staleIndex(virtualRow, treeColumn);
        same(at, " row", orNull(name), names({m_model.findItemByIndex(virtualRow)}));
        same(at, " original row", position(m_ref.original, name), m_model.findModelIndexInData(virtualRow));
        const QVariant checkState = m_ref.checks.contains(name) ? QVariant(m_ref.checks.value(name)) : QVariant(false);
        same(at, " check state", virtualRow < 0 ? QVariant() : checkState, qt->data(index, Qt::CheckStateRole));
        const QVariantList roles = name.isEmpty() ? QVariantList() : m_ref.treeRoles(name);
        for (int role = 0; role < 8; ++role)
            same(at, treeRoleNames[role], roles.value(role), qt->data(index, treeRoles[role]));
    }
    for (int originalRow = -1; originalRow <= m_ref.original.size(); ++originalRow)
        same(QString::number(originalRow), " original row", orNull(m_ref.original.value(originalRow)), names({m_model.findItemByOriginalIndex(originalRow)}));
    for (const QString& name : m_ref.alive + QStringList(QString())) {
        BaseDataItem* row = m_byName.value(name);
        same(orNull(name), ": original row", position(m_ref.original, name), m_model.findOriginalIndexByItem(row));
        same(orNull(name), ": virtual row", position(m_ref.shown, name), m_model.findVirtualIndexByItem(row));
        same(orNull(name), ": name", m_ref.uname(name), m_model.unameItem(static_cast<TreeBaseItem*>(row)));
        const Row mirror = m_ref.rows.value(name);
        if (row)
            same(name, ": flags expanded 4 + visible 2 + collapsable 1", mirror.expanded * 4 + mirror.visible * 2 + mirror.collapsable,
                 row->getExpanded() * 4 + row->getVisible() * 2 + row->getCollapsable());
    }
    same({}, "bound", m_ref.unbound ? "unbound" : QStringList(m_ref.host).replaceInStrings(QRegularExpression("^$"), "null").join(' '), m_model.GetBindSrcData() ? names(*m_model.GetBindSrcData()) : "unbound");
    same({}, "clicked", QStringLiteral("%1 row %2 column %3").arg(orNull(m_ref.clicked)).arg(position(m_ref.shown, m_ref.clicked)).arg(m_ref.clickedColumn),
         QStringLiteral("%1 row %2 column %3").arg(names({m_model.getClickedItem()})).arg(m_model.getClickedVirtualRow()).arg(m_model.getClickedVirtualColumn()));
    same({}, "deleted", std::exchange(m_ref.log, {}).join(' '), std::exchange(treeDeleteLines(), {}).join(' '));
    same({}, "UpdateData calls", std::exchange(m_ref.refreshes, 0), std::exchange(m_model.updateDataCalls, 0));
    if (first.isEmpty() && !m_tester->failures().isEmpty())
        first = "model tester: " + m_tester->failures().join("; ");
    return first;
}

} // namespace

class tst_zTreeItemModelDifferential : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { recordTreeDeleteLines(); }
    void randomSequencesAgreeWithReference() { runDifferential<Sequence>(20000, 2000, stepsPerSequence); }
};

DIFFERENTIAL_TEST_MAIN(tst_zTreeItemModelDifferential)
#include "tst_zTreeItemModelDifferential.moc"
