#pragma once
// The set-up of both block-selection tests: a shown table view with block selection over one
// of the library's three row models, and real input sent to it.

#include "TestHelpers.h"

#include <BaseDataItem.h>
#include <BaseDataItemModel.h>
#include <HeaderItem.h>
#include <TableHeaderColumn.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zBaseItemModel.h>
#include <zBaseItemViewBlock.h>
#include <zTreeItemModel.h>

#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

/*!
 * A view over a model of a kind ("grid", "flat", "tree", "<kind> unbound", "other", "none") bound to
 * the rows of an outline. Marks: one character per list position, '1' marked, '0' not, 'x' a null
 * entry. With recordCalls the host's setter and test record "<position>+", "<position>-", "?<position>".
 */
class BlockFixture
{
    TreeFixture m_tree; // first: the rows outlive the view
    zBaseHeaderColumn m_columns;

public:
    BlockFixture(const QString& kind, const QString& outline, const QString& initialMarks, bool recordCalls = true)
        : m_tree(outline), list(m_tree.rows())
    {
        for (int position = 0; position < initialMarks.size(); ++position)
            initialMarks.at(position) == 'x' ? void(list[position] = nullptr) : list.at(position)->SetBlock(initialMarks.at(position) == '1');
        view.setModel(makeModel(kind, kind.endsWith(QLatin1String("unbound")) ? nullptr : &list));
        block = zBaseItemViewBlock::RegistUseBlock(&view);
        if (recordCalls) {
            block->RegistSetBlockFun(
                [this](BaseDataItem* row, bool on) { calls << QString::number(list.indexOf(row)) + (on ? '+' : '-'); row->SetBlock(on); },
                [this](BaseDataItem* row) { calls << '?' + QString::number(list.indexOf(row)); return row->IsBlock(); });
            block->RegistSetBlockFun(nullptr, nullptr); // empty arguments keep the recording pair
        }
        view.resize(300, 1500); // every row in sight: a click never scrolls
        view.show();
        // Qt 6 repaints the view's frame once more when the window becomes active: let that pass first.
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QCoreApplication::processEvents();
    }

    QString marks() const
    {
        QString out;
        for (BaseDataItem* row : list)
            out += !row ? 'x' : row->IsBlock() ? '1' : '0';
        return out;
    }
    // The tree model shows visible rows only.
    QModelIndex viewIndex(int listPosition) const
    {
        const auto* tree = qobject_cast<const zTreeItemModel*>(view.model());
        const int viewRow = tree ? tree->findVirtualIndexByItem(list.at(listPosition)) : listPosition;
        return view.model() ? view.model()->index(viewRow, 0) : QModelIndex();
    }

    QList<BaseDataItem*> list;
    QTableView view;
    zBaseItemViewBlock* block = nullptr; // owned by the view
    QStringList calls;

private:
    QAbstractItemModel* makeModel(const QString& kind, QList<BaseDataItem*>* boundList)
    {
        m_columns.addColumn(new zBaseHeaderItem(QStringLiteral("name")));
        if (kind.startsWith(QLatin1String("grid"))) {
            auto* grid = new BaseDataItemModel(&view);
            grid->getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(1, QStringLiteral("name")));
            grid->BindSrcData(boundList);
            return grid;
        }
        if (kind.startsWith(QLatin1String("flat"))) {
            auto* flat = new zBaseItemModel(&view);
            flat->setHeaderColumn(&m_columns);
            flat->BindSrcData(boundList);
            return flat;
        }
        if (kind.startsWith(QLatin1String("tree"))) {
            auto* tree = new zTreeItemModel(&view);
            tree->setHeaderColumn(&m_columns);
            tree->BindSrcData(boundList, false);
            return tree;
        }
        return kind == QLatin1String("other") ? new QStandardItemModel(10, 2, &view) : nullptr;
    }
};

/// Real input: "[mods+]F<n>" is a key on the view with the target current; "[mods+][right |middle ][frame ]
/// click|press|release" uses the left button unless named, on the viewport (frame: on the view itself),
/// at the target's centre or, with no target, below the rows.
inline void sendAction(QTableView& view, const QString& action, const QModelIndex& target)
{
    const QString input = action.section('+', -1);
    // The modifiers are spelt as in a key sequence: "Ctrl+Shift+click" has those of "Ctrl+Shift+A".
    const QKeySequence sequence(action.left(action.lastIndexOf('+') + 1) + 'A');
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0) // a key of a sequence is a QKeyCombination there, an int on Qt 5
    const Qt::KeyboardModifiers modifiers = sequence[0].keyboardModifiers();
#else
    const auto modifiers = Qt::KeyboardModifiers(sequence[0] & Qt::KeyboardModifierMask);
#endif
    if (input.startsWith('F')) {
        view.setCurrentIndex(target);
        return QTest::keyClick(&view, Qt::Key(Qt::Key_F1 + input.mid(1).toInt() - 1), modifiers);
    }
    const Qt::MouseButton button = input.startsWith(QLatin1String("right")) ? Qt::RightButton
        : input.startsWith(QLatin1String("middle")) ? Qt::MiddleButton : Qt::LeftButton;
    QWidget* widget = input.contains(QLatin1String("frame")) ? &view : view.viewport();
    QPoint position = target.isValid() ? view.visualRect(target).center() : QPoint(5, view.viewport()->height() - 5);
    position = widget == &view ? view.viewport()->mapToParent(position) : position;
    if (input.endsWith(QLatin1String("press")))
        QTest::mousePress(widget, button, modifiers, position);
    else if (input.endsWith(QLatin1String("release")))
        QTest::mouseRelease(widget, button, modifiers, position);
    else
        QTest::mouseClick(widget, button, modifiers, position);
}
