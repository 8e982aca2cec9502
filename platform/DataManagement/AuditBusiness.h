#pragma once

#include "itemviews_platform_export.h"

#include <QColor>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QVariant>

#include <memory>

class BaseDataItem;
class TableBaseObject;

/*!
 * The audit (review) service: which tables and rows are under review, how a
 * cell differs from its reviewed counterpart, which row is whose counterpart,
 * and a message channel that every following grid model listens to.
 *
 *     AuditBusiness audit;
 *     audit.SetRelationItem(submittedRow, reviewedRow);
 *     audit.EmitSync(code, value, payload);   // raises OnSync on every follower
 *
 * Its followers are models, so it belongs to the GUI thread: one built on a worker is
 * moved there (moveToThread) before it is handed over.
 */
class ITEMVIEWS_PLATFORM_EXPORT AuditBusiness : public QObject
{
    Q_OBJECT
public:
    /// How a cell differs: a signed kind (0 = no difference) and its colour.
    struct State
    {
        qint8 kind = 0;
        QColor color;
    };
    /// Identifies a column to the service: field number and two audit attributes.
    struct AuditHeaderItem
    {
        int fieldNumber = 0;
        int auditAttribute1 = 0;
        int auditAttribute2 = 0;
    };

    explicit AuditBusiness(QObject* parent = nullptr);
    ~AuditBusiness() override;

    bool IsSS(TableBaseObject* table) const { return m_ssTables.contains(table); }
    bool IsSS(BaseDataItem* row) const { return m_ssRows.contains(row); }
    bool IsAuditOpen(TableBaseObject* table) const { return m_openTables.contains(table); }
    QSet<int> GetSSFocusedRows() const { return m_focusedRows; }
    /// The difference of a row's cell in the column given; kind 0 when none is recorded.
    State GetDifference(BaseDataItem* row, const AuditHeaderItem* header) const;
    /// The counterpart of a row; ok turns true only when one is recorded.
    BaseDataItem* GetRelationItem(BaseDataItem* row, bool& ok) const;
    /// Raises OnSync with the same arguments.
    void EmitSync(int code, int value, QVariant payload);

    void SetSS(TableBaseObject* table, bool on);
    void SetSS(BaseDataItem* row, bool on);
    void SetAuditOpen(TableBaseObject* table, bool open);
    void SetSSFocusedRows(const QSet<int>& rows) { m_focusedRows = rows; }
    void SetDifference(BaseDataItem* row, int fieldNumber, State state);
    /// Records the relation both ways: each row finds the other.
    void SetRelationItem(BaseDataItem* row, BaseDataItem* counterpart);
    /// Makes room for this many more relations at once, instead of regrowing while they are recorded.
    void ReserveRelations(int pairs);
    /// Forgets everything recorded about a row, before the host destroys it.
    void ForgetRow(BaseDataItem* row);

Q_SIGNALS:
    void OnSync(int code, int value, QVariant payload);

private:
    QSet<TableBaseObject*> m_ssTables;
    QSet<BaseDataItem*> m_ssRows;
    QSet<TableBaseObject*> m_openTables;
    QSet<int> m_focusedRows;
    QHash<BaseDataItem*, QHash<int, State>> m_differences; // row -> field number -> difference
    class Relations;
    std::unique_ptr<Relations> m_relations; // never null
};
