#!/usr/bin/env python3
"""Measures how many deliberate faults in the library the test suite catches.

Each mutant below is one small fault (a flipped comparison, a dropped statement, an off-by-one
bound...) at a place where a real bug is likely. For each one the script edits the source, rebuilds
build-mutation/, runs the suite with CTest and puts the source back, then reports the mutant as

    killed        some test failed, crashed or timed out (an endless loop counts as caught)
    survived      the whole suite passed: a fault the tests miss
    stale         its snippet is no longer in the file exactly once: update the table
    build-failed  it does not compile: not applicable, replace it with one that does

and ends with the survivors and the score, killed / applicable (killed + survived).

    scripts/mutate.py                 every mutant
    scripts/mutate.py -k check fold   only mutants whose label contains one of the words
    scripts/mutate.py --list          the table, nothing built; fails if a mutant is stale
    scripts/mutate.py --all-tests     run the whole suite even after a failure, to name every killer
    scripts/mutate.py --tests REGEX   only the tests CTest matches (-R): what those tests alone catch

Run it on a clean tree: each file is restored from its original bytes after each mutant,
whatever happens (failure, Ctrl+C, SIGTERM).
"""

import argparse
import os
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

M = "models/"
V = "views/"
# (label, file, exact snippet that must occur once, replacement)
MUTANTS = [
    # zBaseItemModel
    ("zbase-rowcount-off-by-one", M + "zBaseItemModel.cpp", "m_boundList->size() : 0", "m_boundList->size() - 1 : 0"),
    ("zbase-zero-height-kept", M + "zBaseItemModel.cpp", "return height > 0 ? height", "return height >= 0 ? height"),
    ("zbase-write-refusal-ignored", M + "zBaseItemModel.cpp", "hookValue))\n            return false;", "hookValue))\n            break;"),
    ("zbase-flags-preset-not-editable", M + "zBaseItemModel.cpp", "Qt::ItemIsSelectable | Qt::ItemIsEditable;", "Qt::ItemIsSelectable;"),
    ("zbase-flags-result-flipped", M + "zBaseItemModel.cpp", "if (!CellHooks::run(d->m_hooks.callFlags", "if (CellHooks::run(d->m_hooks.callFlags"),
    ("zbase-read-hooks-swapped", M + "zBaseItemModel.cpp", "{&d->m_hooks.dataStarting, &d->m_hooks.dataEnding}", "{&d->m_hooks.dataEnding, &d->m_hooks.dataStarting}"),
    ("zbase-height-write-unscaled", M + "zBaseItemModel.cpp", "value.toDouble() / screenScale()", "value.toDouble()"),
    # zTreeItemModel: binding and rows shown
    ("tree-preorder-children-reversed", M + "zTreeItemModel.cpp", "for (int childPos = children.size() - 1; childPos >= 0; --childPos)", "for (int childPos = 0; childPos < children.size(); ++childPos)"),
    ("tree-bind-child-as-root", M + "zTreeItemModel.cpp", "for (BaseDataItem* row : qAsConst(*list)) {\n            if (row && !row->getParent())",
     "for (BaseDataItem* row : qAsConst(*list)) {\n            if (row)"),
    ("tree-rowcount-signal-dropped", M + "zTreeItemModel.cpp", "Q_EMIT const_cast<zTreeItemModel*>(this)->doRowCountChanged(previous, shownRows);", "Q_UNUSED(previous);"),
    ("tree-rowcount-not-latched", M + "zTreeItemModel.cpp", "d->m_lastReportedRowCount = shownRows;", ""),
    ("tree-virtual-row-is-original", M + "zTreeItemModel.cpp", "originalRow < 0 ? -1 : d->m_virtualRowOfOriginal.at(originalRow)", "originalRow"),
    ("tree-maxlevel-from-parents", M + "zTreeItemModel.cpp", "row->getParent() && row->getChildrenCount() == 0 ?", "row->getParent() && row->getChildrenCount() != 0 ?"),
    ("tree-level-cache-inverted", M + "zTreeItemModel.cpp", "if (parent != lastParent)", "if (parent == lastParent)"),
    ("tree-deep-level-off-by-one", M + "zTreeItemModel.cpp", "steps + 1 + rememberedAncestors(ancestor)", "steps + rememberedAncestors(ancestor)"),
    ("tree-expand-shows-collapsed-grandchildren", M + "zTreeItemModel.cpp", "setExpandeItemChild(child, child->getExpanded() && getRowIsVisible(child));", "setExpandeItemChild(child, show);"),
    ("tree-expand-flag-not-stored", M + "zTreeItemModel.cpp", "row->setExpanded(expand);", ""),
    ("tree-span-visibility-swapped", M + "zTreeItemModel.cpp", "(shown ? shownBySpan : hiddenBySpan)", "(shown ? hiddenBySpan : shownBySpan)"),
    ("tree-span-rows-not-replaced", M + "zTreeItemModel.cpp", "    rebuildShownRows();\n}", "}"),
    ("tree-cant-collapse-inverted", M + "zTreeItemModel.cpp", "if (!descendant->getCollapsable())", "if (descendant->getCollapsable())"),
    # zTreeItemModel: cells
    ("tree-role-uncollapsable-not-tree", M + "zTreeItemModelCells.cpp", "    case zTreeItemModel::TreeHasUncollapsableChildRole:\n", ""),
    ("tree-roles-in-every-column", M + "zTreeItemModelCells.cpp", "if (isTreeRole(role) && isTreeColumn(index))", "if (isTreeRole(role))"),
    ("tree-check-state-every-column", M + "zTreeItemModelCells.cpp", "isTreeColumn(index) ? d->storedCheckState(index.row()) :", "true ? d->storedCheckState(index.row()) :"),
    ("tree-click-marks-changed", M + "zTreeItemModelCells.cpp", "if (role != ClickedCellRole)\n        d->markProjectChanged();", "d->markProjectChanged();"),
    ("tree-clicked-column-from-index", M + "zTreeItemModelCells.cpp", "m_clickedVirtualColumn = value.toInt();", "m_clickedVirtualColumn = index.column();"),
    ("tree-height-stored-after-hooks", M + "zTreeItemModelCells.cpp", "    if (role == Qt::SizeHintRole)\n        d->storeRowHeight(index.row(), value);\n", ""),
    ("tree-flags-unset-hook-answers", M + "zTreeItemModelCells.cpp", "run(d->m_hooks.callFlags, false,", "run(d->m_hooks.callFlags, true,"),
    ("tree-last-sibling-counts-hidden", M + "zTreeItemModelCells.cpp", "if (sibling && getRowIsVisible(sibling))", "if (sibling)"),
    ("tree-no-height-unscaled", M + "zTreeItemModelCells.cpp", "return (height > 0 ? height : -1.0) * screenScale();", "return height > 0 ? height * screenScale() : -1.0;"),
    ("tree-lookup-cell-without-column", M + "zTreeItemModelCells.cpp", "cellRow != q->cellValues.cend() && cellRow->contains(columnId)", "cellRow != q->cellValues.cend()"),
    ("tree-lookup-by-virtual-row", M + "zTreeItemModelCells.cpp", "const int originalRow = q->findModelIndexInData(virtualRow);", "const int originalRow = virtualRow;"),
    ("tree-ancestor-flags-reversed", M + "zTreeItemModelCells.cpp", "flags.prepend(q->isLastSibling", "flags.append(q->isLastSibling"),
    ("tree-uncollapsable-inverted", M + "zTreeItemModelCells.cpp", "return child && !child->getCollapsable();", "return child && child->getCollapsable();"),
    ("tree-parent-row-original", M + "zTreeItemModelCells.cpp", "return findVirtualIndexByItem(row->getParent());", "return findOriginalIndexByItem(row->getParent());"),
    # zTreeItemModel: check states
    ("tree-check-mode-inverted", M + "zTreeItemModelChecks.cpp", "toInt() == 0)\n        return;", "toInt() != 0)\n        return;"),
    ("tree-check-partial-pushed-down", M + "zTreeItemModelChecks.cpp", "if (state != Qt::PartiallyChecked) {", "if (true) {"),
    ("tree-check-partial-counts-full", M + "zTreeItemModelChecks.cpp", "sum += 0.5f;", "sum += 1.0f;"),
    ("tree-check-parent-only", M + "zTreeItemModelChecks.cpp", "ancestor; ancestor = ancestor->getParent())\n        d->m_checkStates", "ancestor; ancestor = nullptr)\n        d->m_checkStates"),
    ("tree-check-children-only", M + "zTreeItemModelChecks.cpp", "        if (child->getChildrenCount() > 0)\n            setChildCheckState(child, state);\n", ""),
    ("tree-check-unset-reads-int", M + "zTreeItemModelChecks.cpp", "QVariant(false)", "QVariant(int(Qt::Unchecked))"),
    # zTreeItemModel: structural edits and names
    ("tree-insert-after-is-before", M + "zTreeItemModelEdits.cpp", "insertSibling(index, 1);", "insertSibling(index, 0);"),
    ("tree-insert-under-first", M + "zTreeItemModelEdits.cpp", "children.append(newRow);", "children.prepend(newRow);"),
    ("tree-insert-top-level-offset", M + "zTreeItemModelEdits.cpp", "m_boundList->insert(position + offset, new TreeBaseItem);", "m_boundList->insert(position, new TreeBaseItem);"),
    ("tree-delete-all-no-refresh", M + "zTreeItemModelEdits.cpp", "if (deletedAny)\n        UpdateData();", "Q_UNUSED(deletedAny);"),
    ("tree-delete-keeps-clicked", M + "zTreeItemModelEdits.cpp", "if (row == m_clickedItem)\n            m_clickedItem = nullptr;", ""),
    ("tree-delete-keeps-check-state", M + "zTreeItemModelEdits.cpp", "m_checkStates.remove(row);", ""),
    ("tree-delete-twice-listed", M + "zTreeItemModelEdits.cpp", "if (doomedRow && doomedPositions.firstPosition(doomedRow) == position)", "if (doomedRow)"),
    ("tree-delete-not-unlinked", M + "zTreeItemModelEdits.cpp", "if (siblings.removeOne(row))", "if (false)"),
    ("tree-delete-one-no-refresh", M + "zTreeItemModelEdits.cpp", "if (!d->m_deletionBatch)\n        UpdateData();", ""),
    ("tree-name-root-off-by-one", M + "zTreeItemModelNaming.cpp", "owners.rootPositions.firstPosition(current))", "owners.rootPositions.firstPosition(current) + 1)"),
    ("tree-name-owners-never-stale", M + "zTreeItemModelNaming.cpp", "if (m_ownerIndex && m_ownerIndex->treeShape == TreeBaseItem::shapeGeneration())", "if (m_ownerIndex)"),
    ("tree-name-parts-reversed", M + "zTreeItemModelNaming.cpp", "parts.prepend(QString::number(positionInOwner));", "parts.append(QString::number(positionInOwner));"),
    ("row-index-last-position-wins", M + "RowPositionIndex.cpp", "if (!m_slots[slot].row) { // the first position wins",
     "if (true) { m_duplicates = m_duplicates || m_slots[slot].row;"),
    # BaseDataItemModel
    ("grid-usage-family-last-excluded", M + "BaseDataItemModel.cpp", "tableType <= family.last", "tableType < family.last"),
    ("grid-usage-offset", M + "BaseDataItemModel.cpp", "code += 30000u;", "code += 3000u;"),
    ("grid-usage-field-byte", M + "BaseDataItemModel.cpp", "(quint32(header->fieldNumber()) & 0xFFFFu)", "(quint32(header->fieldNumber()) & 0xFFu)"),
    ("grid-bind-empty-keeps-click", M + "BaseDataItemModel.cpp", "            Qtitan::BaseTableModel::SetClickRowAndCol(0, 0);\n", ""),
    ("grid-bind-positions-not-rebuilt", M + "BaseDataItemModel.cpp", "    if (d->m_rows)\n        d->m_positions.build(*d->m_rows);\n    else\n", "    if (!d->m_rows)\n"),
    ("grid-lines-from-parent", M + "BaseDataItemModel.cpp", "for (int i = 1; i < ancestorRows.size(); ++i)", "for (int i = 0; i < ancestorRows.size(); ++i)"),
    ("grid-lines-last-child-inverted", M + "BaseDataItemModel.cpp", "if (isLastChild(ancestorRows.at(i)))", "if (!isLastChild(ancestorRows.at(i)))"),
    ("grid-lines-remove-every-occurrence", M + "BaseDataItemModel.cpp", "(*count)-- > 0", "(*count) > 0"),
    ("grid-fold-childless", M + "BaseDataItemModel.cpp", "return !item->getBaseDataItemlist().isEmpty() && !item->getExpanded();", "return !item->getExpanded();"),
    ("grid-last-child-is-first", M + "BaseDataItemModel.cpp", "parent->getBaseDataItemlist().last() == item", "parent->getBaseDataItemlist().first() == item"),
    ("grid-null-row-invisible", M + "BaseDataItemModel.cpp", "return item ? item->getVisible() : true;", "return item ? item->getVisible() : false;"),
    ("grid-checkbox-pattern-flipped", M + "BaseDataItemModel.cpp", "row % 2 == 0 ? Qt::Checked", "row % 2 != 0 ? Qt::Checked"),
    ("grid-item-at-past-end", M + "BaseDataItemModel.cpp", "row < m_rows->size() ? m_rows->at(row)", "row <= m_rows->size() ? m_rows->at(row)"),
    ("grid-stale-position-trusted", M + "BaseDataItemModel.cpp", "if (position >= 0 && (position >= m_rows->size() || m_rows->at(position) != item)) {", "if (false) {"),
    ("grid-display-write-marks-changed", M + "BaseDataItemModel.cpp", "if (role == Qt::EditRole && oldValue != value && work)", "if (oldValue != value && work)"),
    ("grid-cur-index-in-field-mode", M + "BaseDataItemModel.cpp", "if (m_dataMode == 0 && header->fieldNumber() == BaseDataItemModel::CurIndexFieldNumber)", "if (header->fieldNumber() == BaseDataItemModel::CurIndexFieldNumber)"),
    ("grid-fold-sync-inverted", M + "BaseDataItemModel.cpp", "counterpart->setExpanded(value == 0);", "counterpart->setExpanded(value == 1);"),
    ("grid-old-audit-kept-connected", M + "BaseDataItemModel.cpp", "disconnect(d->m_audit, nullptr, this, nullptr);", ""),
    ("grid-audit-hidden-parent-ignored", M + "BaseDataItemModelAudit.cpp", "if (!parent->getVisible())", "if (false)"),
    ("grid-audit-exempt-rows-fold", M + "BaseDataItemModelAudit.cpp", "(keepExemptRows && isFoldExemptType(child->getRowType())) || parent->getExpanded()", "parent->getExpanded()"),
    ("grid-sync-table-last-excluded", M + "BaseDataItemModel_p.h", "tableType <= LastSyncTableType", "tableType < LastSyncTableType"),
    ("grid-audit-ss-of-row", M + "BaseDataItemModelAudit.cpp", "return m_audit ? m_audit->IsSS(item->getOwner()) : false;", "return m_audit ? m_audit->IsSS(item) : false;"),
    ("grid-click-row-rewritten", M + "BaseDataItemModelClickedCell.cpp", "if (row == Qtitan::BaseTableModel::GetClickRow(false))\n        return;\n", ""),
    ("grid-click-row-empty-clamped", M + "BaseDataItemModelClickedCell.cpp", "return d->m_rows->isEmpty() ? row : 0;", "return 0;"),
    ("grid-click-col-negative", M + "BaseDataItemModelClickedCell.cpp", "return qMax(col, 0);", "return col;"),
    ("grid-click-key-ids-swapped", M + "BaseDataItemModelClickedCell.cpp", "work->getAuditId(), work->getNodeId()", "work->getNodeId(), work->getAuditId()"),
    ("grid-fold-sync-code-inverted", M + "BaseDataItemModelFolding.cpp", "flag ? 0 : 1", "flag ? 1 : 0"),
    ("grid-fold-not-marked-changed", M + "BaseDataItemModelFolding.cpp", "work->setProjectWorkChanged(true);", ""),
    ("grid-fold-parent-asks-top", M + "BaseDataItemModelFolding.cpp", "while (ancestor && ancestor->getParent())", "while (ancestor)"),
    ("grid-need-fold-any-parent-groups", M + "BaseDataItemModelFolding.cpp", "if (!parent || parent->getRowType() != GroupRowType)", "if (!parent)"),
    ("grid-last-fold-row-includes-row", M + "BaseDataItemModelFolding.cpp", "blockRow > row; --blockRow", "blockRow >= row; --blockRow"),
    ("grid-not-fold-child-first", M + "BaseDataItemModelFolding.cpp", "children.last() && isFoldExemptType(children.last()->getRowType())", "children.first() && isFoldExemptType(children.first()->getRowType())"),
    ("grid-unfold-ignores-hidden-parent", M + "BaseDataItemModelFolding.cpp", "if (parent && parent->getVisible() && (", "if (parent && ("),
    ("grid-unfold-block-short", M + "BaseDataItemModelFolding.cpp", "blockRow <= lastRow; ++blockRow", "blockRow < lastRow; ++blockRow"),
    # zTreeItemView
    ("view-check-mode-not-passed", V + "zTreeItemView.cpp", "option.checkMode != 0 ? 1 : 0", "0"),
    ("view-expand-click-kept", V + "zTreeItemView.cpp", "    disconnect(treeDelegate, &DrawTreeDelegate::signalTreeNodeClick, this, &zBaseTableView::slotTreeNodeExpanded);\n", ""),
    ("view-node-click-direct", V + "zTreeItemView.cpp", "Qt::QueuedConnection", "Qt::DirectConnection"),
    ("view-frozen-delegates-not-handed", V + "zTreeItemView.cpp", "    handDelegateToFrozenViews(column);\n", ""),
    ("view-span-hidden-columns-counted", V + "zTreeItemView.cpp", "        if (columns && !columns->isColumnVisibleByOriginalIndex(originalColumn))\n            continue;\n", ""),
    ("view-span-zero-height-dropped", V + "zTreeItemView.cpp", "span.height() >= 0", "span.height() > 0"),
    ("view-span-frozen-first-column", V + "zTreeItemView.cpp", "if (frozenColumn >= 0)", "if (frozenColumn > 0)"),
    ("view-frozen-spans-kept", V + "zTreeItemView.cpp", "        frozenView->clearSpans();\n", ""),
    ("view-cell-delegate-by-virtual-row", V + "zTreeItemView.cpp", "cellKey(originalRow, index.column())", "cellKey(index.row(), index.column())"),
    ("view-column-delegate-by-virtual", V + "zTreeItemView.cpp", "findColumnDelegate(originalColumn, delegate)", "findColumnDelegate(index.column(), delegate)"),
    ("view-own-editor-not-hidden", V + "zTreeItemView.cpp", "ownEditor->hide();", "Q_UNUSED(ownEditor);"),
    # zBaseItemViewBlock
    ("block-tree-row-by-list-position", V + "zBaseItemViewBlock.cpp", "return {tree->GetBindSrcData(), tree->findItemByIndex(index)};", "return rowsOfList(tree->GetBindSrcData(), index);"),
    ("block-alt-keys-act", V + "zBaseItemViewBlock.cpp", "(Qt::ControlModifier | Qt::AltModifier)", "Qt::ControlModifier"),
    ("block-f5-ends", V + "zBaseItemViewBlock.cpp", "case Qt::Key_F5: return Action::BlockBegin;", "case Qt::Key_F5: return Action::BlockEnd;"),
    ("block-release-buttons", V + "zBaseItemViewBlock.cpp", "mouseEvent->button() != Qt::LeftButton", "mouseEvent->buttons() != Qt::LeftButton"),
    ("block-begin-keeps-above", V + "zBaseItemViewBlock.cpp", "    rows.markRange(0, position - 1, false);\n    for (int below", "    for (int below"),
    ("block-begin-skips-next", V + "zBaseItemViewBlock.cpp", "int below = position + 1;", "int below = position + 2;"),
    ("block-end-keeps-last", V + "zBaseItemViewBlock.cpp", "int below = rows.size() - 1; below > position", "int below = rows.size() - 2; below > position"),
    ("block-shift-tie-joins-above", V + "zBaseItemViewBlock.cpp", "position - up >= down - position", "position - up > down - position"),
    ("block-shift-below-through-setter", V + "zBaseItemViewBlock.cpp", "rows.setBlockRange(position, down, true);", "rows.markRange(position, down, true);"),
    ("block-toggle-ignores-test", V + "zBaseItemViewBlock.cpp", "rows.mark(row, !isBlock(row));", "rows.mark(row, !row->IsBlock());"),
    ("block-empty-setter-taken", V + "zBaseItemViewBlock.cpp", "if (setter)\n        d->m_setBlock", "if (true)\n        d->m_setBlock"),
    ("block-no-repaint", V + "zBaseItemViewBlock.cpp", "m_view->viewport()->update();\n    for (QAbstractItemView* part", "for (QAbstractItemView* part"),
]

BUILD_DIR = ROOT / "build-mutation"


def run(cmd, log, timeout=None):
    """Runs cmd at low priority, output to log; returns the exit code (None on timeout)."""
    with open(log, "w") as out:
        try:
            return subprocess.run(["nice", "-n", "10"] + cmd, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return None


def configure():
    env = os.environ
    env.setdefault("CCACHE_DIR", "/work/.ccache")
    env.setdefault("CCACHE_BASEDIR", "/work")
    env.setdefault("CCACHE_NOHASHDIR", "1")
    env["QT_QPA_PLATFORM"] = "offscreen"
    BUILD_DIR.mkdir(exist_ok=True)
    return run(["cmake", "-S", ".", "-B", str(BUILD_DIR), "-G", "Ninja", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
                "-DITEMVIEWS_BUILD_BENCH=OFF", "-DITEMVIEWS_BUILD_EXAMPLES=OFF", "-DITEMVIEWS_BUILD_APPS=ON"],
               BUILD_DIR / "mutation-configure.log") == 0


def build():
    return run(["cmake", "--build", str(BUILD_DIR), "--parallel", "2"], BUILD_DIR / "mutation-build.log") == 0


def test(args):
    """True when the suite passes; also the failing tests' names."""
    log = BUILD_DIR / "mutation-test.log"
    cmd = ["ctest", "--test-dir", str(BUILD_DIR), "--timeout", str(args.timeout), "--parallel", "2"]
    if not args.all_tests:
        cmd.append("--stop-on-failure")
    if args.tests:
        cmd += ["-R", args.tests]
    code = run(cmd, log, timeout=args.timeout * 20)
    failed = [line.split(" - ")[1].split()[0] for line in log.read_text(errors="replace").splitlines()
              if " - " in line and "(" in line and line.strip()[:1].isdigit()]
    return code == 0, failed


def interrupt(*_):
    """SIGTERM unwinds like Ctrl+C, so the file being mutated is restored."""
    raise KeyboardInterrupt


def mutate(mutant, args):
    label, rel, old, new = mutant
    path = ROOT / rel
    original = path.read_bytes()
    text = original.decode()
    if text.count(old) != 1:
        return "stale", f"snippet found {text.count(old)} times"
    try:
        path.write_text(text.replace(old, new, 1))
        if not build():
            kept = BUILD_DIR / f"mutation-{label}.build.log"
            (BUILD_DIR / "mutation-build.log").replace(kept)
            return "build-failed", f"see {kept.relative_to(ROOT)}"
        passed, failed = test(args)
        return ("survived", "") if passed else ("killed", " ".join(failed))
    finally:
        # A fresh mtime: ninja rebuilds the restored file on the next build (from ccache).
        path.write_bytes(original)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("-k", nargs="*", default=[], metavar="WORD", help="only mutants whose label contains a word")
    parser.add_argument("--list", action="store_true", help="print the mutants and exit")
    parser.add_argument("--all-tests", action="store_true", help="keep running the suite after a failure")
    parser.add_argument("--tests", metavar="REGEX", help="run only the tests CTest matches")
    parser.add_argument("--timeout", type=int, default=120, help="seconds per test (default 120)")
    args = parser.parse_args()

    chosen = [m for m in MUTANTS if not args.k or any(word in m[0] for word in args.k)]
    labels = [m[0] for m in MUTANTS]
    assert len(labels) == len(set(labels)), "duplicate labels"
    if args.list:
        stale = 0
        for label, rel, old, new in chosen:
            found = (ROOT / rel).read_text().count(old)
            stale += found != 1
            print(f"{label:40} {rel}" + ("" if found == 1 else f"  stale: snippet found {found} times"))
        return 1 if stale else 0
    if not chosen:
        print("no mutant matches", file=sys.stderr)
        return 2
    dirty = subprocess.run(["git", "status", "--porcelain", "--", "models", "views"], cwd=ROOT,
                           capture_output=True, text=True).stdout
    if dirty:
        print("models/ or views/ has uncommitted changes; commit or stash them first:\n" + dirty, file=sys.stderr)
        return 2
    signal.signal(signal.SIGTERM, interrupt)

    if not configure() or not build():
        print(f"the unmutated tree does not build, see {BUILD_DIR}/mutation-*.log", file=sys.stderr)
        return 2
    passed, failed = test(args)
    if not passed:
        print("the unmutated suite fails (" + " ".join(failed) + "): nothing to measure", file=sys.stderr)
        return 2

    results = []
    started = time.time()
    try:
        for number, mutant in enumerate(chosen, 1):
            begin = time.time()
            status, detail = mutate(mutant, args)
            results.append((mutant[0], status, detail))
            print(f"[{number:3}/{len(chosen)}] {status:12} {mutant[0]:42} {time.time() - begin:5.0f}s  {detail}",
                  flush=True)
    except KeyboardInterrupt:
        print("interrupted: the source is restored; partial results follow")
    finally:
        build()  # leave the build directory matching the restored tree

    count = {s: sum(1 for _, status, _ in results if status == s) for s in ("killed", "survived", "stale", "build-failed")}
    print(f"\n{len(results)} mutants in {(time.time() - started) / 60:.0f} min")
    for status in ("survived", "stale", "build-failed"):
        for label, s, detail in results:
            if s == status:
                print(f"  {status:12} {label} {detail}")
    applicable = count["killed"] + count["survived"]
    print(f"score: {count['killed']} / {applicable} killed"
          + (f" ({100 * count['killed'] / applicable:.0f}%)" if applicable else "")
          + f"; {count['stale']} stale, {count['build-failed']} build-failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
