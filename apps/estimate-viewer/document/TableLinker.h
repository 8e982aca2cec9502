#pragma once

#include "Estimate.h"
#include "JsonPlace.h"
#include "LoadedRow.h"

/// Ties a table's rows as read to their parents, children and spans by id, finds cycles and sets each
/// row's level from its depth, then lists the rows in pre-order, as the grid models need. False, with
/// the problem (an unknown or repeated id, a cycle, a tree too deep, a level that does not match), otherwise.
bool linkTable(Estimate::Table& table, QVector<LoadedRow>& loaded, const JsonPlace& tablePlace, QString* problem);
