#pragma once

#include <QFlags>
#include <QModelIndex>
#include <QVariant>

#include <functional>

class zBaseHeaderItem;

/*!
 * The five cell hooks a host registers on a z model, stored alike by both models.
 * Setting a hook replaces it and an empty callable removes it. A hook runs as a copy,
 * so one that replaces or removes itself while running is not destroyed under its own feet.
 *
 * Only storage and running live here. When each hook runs and what its answer means
 * (the flags preset, which flags answer wins, where the height write falls) is each
 * model's own sequence.
 */
class CellHooks
{
public:
    using DataHook = std::function<bool(int role, const QModelIndex& index, const zBaseHeaderItem* header, QVariant& value)>;
    using FlagsHook = std::function<bool(const QModelIndex& index, const zBaseHeaderItem* header, QFlags<Qt::ItemFlag>& flags)>;

    /// Runs a copy of the stored hook with the arguments; an unset hook answers whenUnset.
    template <typename Hook, typename... Args>
    static bool run(const Hook& stored, bool whenUnset, Args&... args)
    {
        if (!stored)
            return whenUnset;
        const Hook hook = stored;
        return hook(args...);
    }

    DataHook dataStarting;
    DataHook dataEnding;
    DataHook editorStarting;
    DataHook editorEnding;
    FlagsHook callFlags;
};
