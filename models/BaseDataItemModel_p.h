#pragma once

// State of BaseDataItemModel behind its one pointer, and facts shared by its sources; not
// installed, so it may change in a patch release.

#include "BaseDataItem.h"
#include "BaseDataItemModel.h"
#include "RowPositionIndex_p.h"
#include "TableBaseObject.h"

#include <QList>
#include <QLoggingCategory>
#include <QPair>
#include <QPointer>

#include <algorithm>
#include <iterator>
#include <optional>

class GcSetting;
class WorkBaseObject;

// The null-row warning; a host silences it with the rule "itemviews.gridmodel.warning=false".
Q_DECLARE_LOGGING_CATEGORY(lcGridModel)

namespace GridModel {

/// Message code of an audit fold sync (value 1 folded, 0 unfolded, the row as payload).
constexpr int FoldSyncCode = 2147483647;

/// Row types (BaseDataItem::getRowType()) that folding treats apart; every other type folds plainly.
/// A group row keeps a trailing run of fold-exempt children out of its fold, and an unfold shows
/// fold-exempt children of a visible parent even when that parent is collapsed.
constexpr int GroupRowType = 5;
constexpr int FoldExemptRowTypes[] = {7, 12};

/// Tables whose fold-exempt rows stay visible under a folded parent when an audit fold arrives.
constexpr int FirstSyncTableType = 3003;
constexpr int LastSyncTableType = 3006;

/// Usage codes report row type -1 (none) as 120, and shift each family of table types down by
/// its own offset before the low byte of the result is packed; other table types pack as they are.
constexpr int NoRowType = -1;
constexpr quint32 NoRowTypeUsageCode = 120;
struct TableTypeFamily
{
    int first;
    int last;
    int offset;
};
constexpr TableTypeFamily UsageTableTypeFamilies[] = {{1001, 1999, 940}, {2001, 2999, 1880}, {3001, 3999, 2820}};

inline bool isFoldExemptType(int rowType)
{
    return std::find(std::begin(FoldExemptRowTypes), std::end(FoldExemptRowTypes), rowType) != std::end(FoldExemptRowTypes);
}

inline bool isSyncTableType(int tableType)
{
    return tableType >= FirstSyncTableType && tableType <= LastSyncTableType;
}

/// The work a row belongs to through its table, or null.
inline WorkBaseObject* workOf(BaseDataItem* item)
{
    TableBaseObject* table = item->getOwner();
    return table ? table->getOwner() : nullptr;
}

/// Where the clicked cell of a bound list is kept in the project settings.
struct ClickCellKey
{
    GcSetting* settings;
    int auditId;
    int nodeId;
    int tableType;

    QPair<int, int> storedCell() const;
    void store(int row, int col) const;
};

/// The key of a bound list, from its row 0; none unless row 0's table, work and project all exist.
std::optional<ClickCellKey> clickCellKey(const QList<BaseDataItem*>* rows);

/// After an audit fold of a counterpart, its descendants follow their parents' visible and expanded flags.
void applyFoldToDescendants(BaseDataItem* counterpart);

} // namespace GridModel

class BaseDataItemModelPrivate
{
    Q_DECLARE_PUBLIC(BaseDataItemModel)
public:
    explicit BaseDataItemModelPrivate(BaseDataItemModel* q);

    BaseDataItem* itemAt(int row) const;
    int firstPositionOf(BaseDataItem* item);
    void getParentRows(int row, QVector<int>& rows);
    QVariant fieldData(const QModelIndex& index, int role, BaseDataItem* item, const Qtitan::HeaderItem* header) const;
    QVariant auditData(BaseDataItem* item, int role, const Qtitan::HeaderItem* header) const;
    QVariant differenceData(BaseDataItem* item, const Qtitan::HeaderItem* header) const;
    void writeClickCell(int row, int col) const;
    void applyFoldSync(int code, int value, const QVariant& payload);

    BaseDataItemModel* const q_ptr; // owns this
    int m_dataMode = 0;
    QPointer<AuditBusiness> m_audit; // not owned
    std::function<bool(Qtitan::TModelAux&)> m_customData;
    QList<BaseDataItem*>* m_rows = nullptr; // not owned
    EditedPositionIndex m_positions; // first position of each row object, taken on binding, following announced changes
};
