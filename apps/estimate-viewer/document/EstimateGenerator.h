#pragma once

#include "Estimate.h"
#include "LoadProgress.h"

#include <memory>

/*!
 * Builds a building estimate of about the requested number of rows: sections,
 * sub-sections, items and sub-items with notes and subtotals, priced and totalled,
 * plus a reviewed copy whose quantities differ in places. The same size and seed
 * always give the same estimate. Progress counts rows of both works; a cancel gives null.
 */
class EstimateGenerator
{
public:
    static std::unique_ptr<Estimate> generate(int rowCount, quint32 seed = 1, LoadProgress* progress = nullptr);
};
