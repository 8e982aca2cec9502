#include "TableLinker.h"

#include "EstimateJson.h"

#include <QRandomGenerator>

#include <vector>

namespace {

// Row positions by id in one flat table: a million ids cost one allocation, not one each. The ids
// come from the file, so they are mixed with a seed of this process before they pick a slot.
class PositionById
{
public:
    explicit PositionById(int rows) : m_seed(QRandomGenerator::global()->generate64())
    {
        while ((size_t(1) << m_bits) < 2 * size_t(qMax(rows, 1)))
            ++m_bits;
        m_slots.assign(size_t(1) << m_bits, Slot());
    }
    /// False, changing nothing, when another row has the id already.
    bool insert(qint64 id, int position)
    {
        for (size_t at = slotOf(id);; at = (at + 1) & mask()) {
            Slot& slot = m_slots[at];
            if (slot.position < 0) {
                slot = Slot{id, position};
                return true;
            }
            if (slot.id == id)
                return false;
        }
    }
    /// The position of the row with the id, or -1.
    int value(qint64 id) const
    {
        for (size_t at = slotOf(id);; at = (at + 1) & mask()) {
            const Slot& slot = m_slots[at];
            if (slot.position < 0 || slot.id == id)
                return slot.position;
        }
    }

private:
    struct Slot
    {
        qint64 id = 0;
        int position = -1;
    };
    size_t mask() const { return m_slots.size() - 1; }
    size_t slotOf(qint64 id) const
    {
        quint64 mixed = quint64(id) ^ m_seed; // splitmix64's finaliser
        mixed = (mixed ^ (mixed >> 30)) * 0xbf58476d1ce4e5b9ULL;
        mixed = (mixed ^ (mixed >> 27)) * 0x94d049bb133111ebULL;
        return size_t(mixed ^ (mixed >> 31)) & mask();
    }

    quint64 m_seed;
    int m_bits = 4;
    std::vector<Slot> m_slots;
};

// Problems name the row by its position and the field that is wrong.
class Linker
{
public:
    Linker(QVector<LoadedRow>& loaded, const JsonPlace& tablePlace, QString* problem)
        : m_loaded(loaded), m_tablePlace(tablePlace), m_problem(problem)
    {
    }

    bool indexIds(PositionById& positionById);
    bool linkParents(const PositionById& positionById, QVector<int>* parentPositions);
    bool checkDepths(const QVector<int>& parentPositions);

private:
    bool fail(int rowPos, const char* key, const QString& problem, int item = -1)
    {
        JsonPlace place = m_tablePlace;
        place.row = rowPos;
        *m_problem = place.at(key, item).text() + QStringLiteral(": ") + problem;
        return false;
    }

    QVector<LoadedRow>& m_loaded;
    const JsonPlace& m_tablePlace;
    QString* m_problem;
};

bool Linker::indexIds(PositionById& positionById)
{
    for (int rowPos = 0; rowPos < m_loaded.size(); ++rowPos) {
        const qint64 id = m_loaded.at(rowPos).id;
        if (!positionById.insert(id, rowPos))
            return fail(rowPos, "id", QStringLiteral("another row already has id %1").arg(id));
    }
    return true;
}

// A file in pre-order names as a row's parent the last row or one of its nearest ancestors: those are
// tried first, before a lookup by id that costs a cache miss at a million rows.
bool Linker::linkParents(const PositionById& positionById, QVector<int>* parentPositions)
{
    constexpr int nearest = 8; // ancestors tried; the path is a hint, so a deep tree costs no more per row
    std::vector<int> path; // the last row and its ancestors, as far as they are known
    parentPositions->fill(-1, m_loaded.size());
    for (int rowPos = 0; rowPos < m_loaded.size(); ++rowPos) {
        const LoadedRow& entry = m_loaded.at(rowPos);
        QList<BaseDataItem*> spanned;
        for (int spanPos = 0; spanPos < entry.spans.size(); ++spanPos) {
            const int target = positionById.value(entry.spans.at(spanPos));
            if (target < 0)
                return fail(rowPos, "spans", QStringLiteral("no row has id %1").arg(entry.spans.at(spanPos)), spanPos);
            spanned.append(m_loaded.at(target).row);
        }
        entry.row->setSpanChildrenRows(spanned);
        if (!entry.hasParent) {
            path.assign(1, rowPos);
            continue;
        }
        size_t onPath = path.size();
        while (onPath > 0 && path.size() - onPath < nearest && m_loaded.at(path[onPath - 1]).id != entry.parentId)
            --onPath;
        if (onPath > 0 && m_loaded.at(path[onPath - 1]).id == entry.parentId) {
            path.resize(onPath); // ids are unique: this is the parent
        } else {
            path.assign(1, positionById.value(entry.parentId));
            if (path.front() < 0)
                return fail(rowPos, "parent", QStringLiteral("no row has id %1").arg(entry.parentId));
        }
        (*parentPositions)[rowPos] = path.back();
        path.push_back(rowPos);
    }
    return true;
}

// Every row's depth from its parent chain, walked upwards once per row with an explicit list:
// a chain back to a row on the current walk is a cycle, and trees deeper than the limit are refused.
bool Linker::checkDepths(const QVector<int>& parentPositions)
{
    enum : int { Unknown = -1, OnWalk = -2 };
    QVector<int> depths(m_loaded.size(), Unknown);
    QVector<int> walk;
    for (int start = 0; start < m_loaded.size(); ++start) {
        walk.clear();
        int rowPos = start;
        for (; rowPos >= 0 && depths.at(rowPos) == Unknown; rowPos = parentPositions.at(rowPos)) {
            depths[rowPos] = OnWalk;
            walk.append(rowPos);
        }
        if (rowPos >= 0 && depths.at(rowPos) == OnWalk)
            return fail(rowPos, "parent", QStringLiteral("the parent links form a cycle"));
        int depth = rowPos < 0 ? -1 : depths.at(rowPos);
        for (int walkPos = walk.size() - 1; walkPos >= 0; --walkPos)
            depths[walk.at(walkPos)] = ++depth;
    }
    for (int rowPos = 0; rowPos < m_loaded.size(); ++rowPos) {
        const int depth = depths.at(rowPos);
        const int level = m_loaded.at(rowPos).level;
        if (depth >= EstimateJson::maxLevels)
            return fail(rowPos, "parent", QStringLiteral("the row is %1 levels deep; at most %2 are supported")
                                              .arg(depth + 1).arg(EstimateJson::maxLevels));
        if (level >= 0 && level != depth)
            return fail(rowPos, "level", QStringLiteral("%1 does not match the row's depth in the tree, %2").arg(level).arg(depth));
        m_loaded[rowPos].row->setLevel(depth);
    }
    return true;
}

// True when every row follows its parent and its parent's earlier descendants: the tree's pre-order.
bool isPreOrder(const QVector<int>& parentPositions)
{
    std::vector<int> path; // the last row and its ancestors
    for (int rowPos = 0; rowPos < parentPositions.size(); ++rowPos) {
        const int parentPos = parentPositions.at(rowPos);
        while (!path.empty() && path.back() != parentPos)
            path.pop_back();
        if (parentPos >= 0 && path.empty())
            return false;
        path.push_back(rowPos);
    }
    return true;
}

} // namespace

bool linkTable(Estimate::Table& table, QVector<LoadedRow>& loaded, const JsonPlace& tablePlace, QString* problem)
{
    Linker linker(loaded, tablePlace, problem);
    PositionById positionById(loaded.size());
    QVector<int> parentPositions;
    if (!linker.indexIds(positionById) || !linker.linkParents(positionById, &parentPositions)
        || !linker.checkDepths(parentPositions))
        return false;
    QVector<QList<BaseDataItem*>> children(loaded.size());
    for (int rowPos = 0; rowPos < loaded.size(); ++rowPos) {
        const int parentPos = parentPositions.at(rowPos);
        if (parentPos >= 0) {
            loaded.at(rowPos).row->setParentAlone(loaded.at(parentPos).row);
            children[parentPos].append(loaded.at(rowPos).row);
        }
    }
    for (int rowPos = 0; rowPos < loaded.size(); ++rowPos) {
        if (!children.at(rowPos).isEmpty())
            loaded.at(rowPos).row->setBaseDataItemListDirect(children.at(rowPos));
    }
    if (!isPreOrder(parentPositions)) // files written here are in pre-order already
        table.rows = Estimate::preOrder(table);
    return true;
}
