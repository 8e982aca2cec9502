#include "BaseTableModel.h"

namespace Qtitan {

BaseTableModel::BaseTableModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

BaseTableModel::~BaseTableModel() = default;

void BaseTableModel::SetClickRow(int row)
{
    m_clickRow = row;
}

void BaseTableModel::SetClickCol(int col)
{
    m_clickCol = col;
}

void BaseTableModel::SetClickRowAndCol(int row, int col)
{
    m_clickRow = row;
    m_clickCol = col;
}

int BaseTableModel::GetClickRow(bool) const
{
    return m_clickRow;
}

int BaseTableModel::GetClickCol(bool) const
{
    return m_clickCol;
}

QPair<int, int> BaseTableModel::GetClickRowAndCol() const
{
    return qMakePair(m_clickRow, m_clickCol);
}

void BaseTableModel::UpdateData()
{
    beginResetModel();
    endResetModel();
}

void BaseTableModel::getParentLevelNeedDrawLine(int, QVector<int>&) {}
int BaseTableModel::getMaxLevel() { return 0; }
int BaseTableModel::getItemLevel(int) { return 0; }
bool BaseTableModel::getFold(int) { return false; }
bool BaseTableModel::getChildLineDrawFlag(int, int) { return false; }
bool BaseTableModel::getHorizontalLineDrawFlags(int) { return true; }
bool BaseTableModel::getVerticalLineDrawFlags(int) { return true; }
bool BaseTableModel::hasChildrenItem(int) { return false; }
bool BaseTableModel::isLastChild(int) { return true; }
bool BaseTableModel::isVisible(int) { return true; }
bool BaseTableModel::getBtnShowState(int) { return false; }
bool BaseTableModel::getCheckBoxShowState(int) { return false; }
bool BaseTableModel::getLineShowState(int) { return true; }
Qt::CheckState BaseTableModel::getCheckBoxState(int) { return Qt::Unchecked; }
void BaseTableModel::setCheckBoxState(int, Qt::CheckState) {}
bool BaseTableModel::getCheckBoxEnable(int) { return false; }
void BaseTableModel::setCheckBoxEnable(int, bool) {}
void BaseTableModel::setFold(int, bool) {}
int BaseTableModel::getChildrenItemCnt(int) { return 0; }
bool BaseTableModel::hasFoldParent(int) { return false; }
bool BaseTableModel::needFold(int, int) { return false; }
int BaseTableModel::lastFoldRowNumber(int) { return -1; }
bool BaseTableModel::hasNotFlodChild(int) { return false; }
int BaseTableModel::getParentIndex(int) { return -1; }
QVector<int> BaseTableModel::getExpandOrFlodChildren(int, bool) { return {}; }

} // namespace Qtitan
