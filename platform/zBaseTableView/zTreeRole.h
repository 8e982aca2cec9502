#pragma once

/*!
 * \file zTreeRole.h
 * The item roles the table-view layer reads from a tree model on its tree column:
 * its tree delegates paint indentation, node and lines from them, and the view
 * writes the expanded flag to fold a row.
 *
 *     const int level = index.data(zTreeRole::Level).toInt();
 */
namespace zTreeRole {

/// Roles a tree model answers on its tree column.
enum Role : int {
    Level = 205, ///< int: number of ancestors
    ChildCount = 206, ///< int: number of direct children
    LastSibling = 207, ///< bool: last shown sibling
    Expanded = 208, ///< bool: expanded flag; a write expands or collapses
    AncestorLastFlags = 219, ///< QList<bool>: per ancestor, top first: is it the last shown sibling
};

} // namespace zTreeRole
