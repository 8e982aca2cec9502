#pragma once

#include <QVector>

class TreeBaseItem;

/// A row as read, with what the file says of its place in the tree until the table's rows are linked.
struct LoadedRow
{
    TreeBaseItem* row = nullptr;
    qint64 id = 0;
    qint64 parentId = 0;
    bool hasParent = false; // a flag, not a reserved id: every 64-bit id is a valid id
    bool hasId = false;
    bool hasType = false;
    int level = -1; // -1: not stored
    QVector<qint64> spans;
};
// A million of them grow one vector: moved as bytes, not copied one by one.
Q_DECLARE_TYPEINFO(LoadedRow, Q_MOVABLE_TYPE);
