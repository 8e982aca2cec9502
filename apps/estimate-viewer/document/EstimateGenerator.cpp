#include "EstimateGenerator.h"

#include <QHash>
#include <QRandomGenerator>
#include <QStringList>

namespace {

const QStringList sectionNames = {
    "Substructure", "Frame", "Upper floors", "Roof", "Stairs and ramps", "External walls",
    "Windows and external doors", "Internal walls and partitions", "Internal doors", "Wall finishes",
    "Floor finishes", "Ceiling finishes", "Sanitary installations", "Heating and ventilation",
    "Electrical installations", "Lifts", "Fire protection", "External works", "Drainage", "Preliminaries"};
const QStringList subSectionNames = {
    "Excavation", "Concrete work", "Reinforcement", "Formwork", "Masonry", "Structural steel", "Carpentry",
    "Waterproofing", "Insulation", "Plastering", "Screeds", "Tiling", "Painting", "Pipework", "Cabling",
    "Fittings", "Glazing", "Metalwork", "Landscaping", "Temporary works"};
const QStringList itemNames = {
    "Reinforced concrete C30/37", "Blinding concrete C12/15", "Bar reinforcement B500B", "Mesh reinforcement A393",
    "Formwork to soffits", "Formwork to vertical faces", "Facing brickwork", "Blockwork 140 mm", "Mineral wool 100 mm",
    "Gypsum plaster 13 mm", "Sand and cement screed 65 mm", "Ceramic floor tiles", "Emulsion paint, two coats",
    "Copper pipe 22 mm", "Cable tray 300 mm", "Steel column UC 203", "Timber stud partition", "Double glazed unit",
    "Excavate to reduce levels", "Disposal of excavated material", "Hardcore filling 150 mm", "Damp proof membrane",
    "Precast concrete lintel", "Steel handrail", "Flush door set", "Suspended ceiling tiles", "Vinyl floor sheet",
    "LED luminaire", "Socket outlet", "Manhole, precast rings"};
const QStringList units = {"m3", "m2", "m", "nr", "kg", "t", "item"};

// Rows of one section at a time, with running totals rolled up when a parent is closed.
class Builder
{
public:
    Builder(Estimate::Table& table, quint32 seed, LoadProgress* progress) : m_table(table), m_random(seed), m_progress(progress) {}

    // One section per heading, each holding an even share of the rows, as real bills are laid out.
    bool build(int rowCount)
    {
        const int sections = qMin(rowCount, int(sectionNames.size()));
        for (int sectionPos = 0; sectionPos < sections; ++sectionPos) {
            if (m_progress && m_progress->cancelled)
                return false;
            addSection(sectionPos, qint64(rowCount) * (sectionPos + 1) / sections);
            if (m_progress)
                m_progress->done = m_table.rows.size();
        }
        // Child lists are handed over once: appending to each list in place would copy it per child.
        for (auto it = m_children.constBegin(); it != m_children.constEnd(); ++it)
            it.key()->setBaseDataItemListDirect(it.value());
        return true;
    }

private:
    TreeBaseItem* addRow(TreeBaseItem* parent, int type, const QString& code, const QString& name)
    {
        auto* row = new TreeBaseItem;
        row->setValue(EstimateField::Id, int(m_table.rows.size()) + 1);
        row->setValue(EstimateField::Code, code);
        row->setValue(EstimateField::Name, name);
        row->setRowType(type);
        row->setCurIndex(m_table.rows.size() + 1);
        row->setOwner(m_table.table.get());
        if (parent) {
            row->setParentAlone(parent);
            m_children[parent].append(row);
        }
        row->setLevel(parent ? parent->getLevel() + 1 : 0);
        m_table.rows.append(row);
        return row;
    }

    double addPricedRow(TreeBaseItem* parent, int type, const QString& code)
    {
        TreeBaseItem* row = addRow(parent, type, code, itemNames.at(m_random.bounded(int(itemNames.size()))));
        const double quantity = qRound((1.0 + m_random.bounded(499.0)) * 100) / 100.0;
        const double unitPrice = qRound((2.0 + m_random.bounded(398.0)) * 100) / 100.0;
        row->setValue(EstimateField::Unit, units.at(m_random.bounded(int(units.size()))));
        row->setValue(EstimateField::Quantity, quantity);
        row->setValue(EstimateField::UnitPrice, unitPrice);
        row->setValue(EstimateField::Total, quantity * unitPrice);
        return quantity * unitPrice;
    }

    void addSection(int sectionPos, int rowsAfterSection)
    {
        const QString code = QString::number(sectionPos + 1);
        TreeBaseItem* section = addRow(nullptr, EstimateRowType::Section, code, sectionNames.at(sectionPos));
        section->setRowHeight(26);
        double total = 0;
        for (int subPos = 0; m_table.rows.size() < rowsAfterSection - 1; ++subPos)
            total += addSubSection(section, QStringLiteral("%1.%2").arg(code).arg(subPos + 1), rowsAfterSection - 1);
        TreeBaseItem* subtotal = addRow(section, EstimateRowType::Subtotal, QString(), QStringLiteral("Subtotal ") + code);
        subtotal->setValue(EstimateField::Total, total);
        section->setValue(EstimateField::Total, total);
    }

    double addSubSection(TreeBaseItem* section, const QString& code, int rowCount)
    {
        TreeBaseItem* sub = addRow(section, EstimateRowType::SubSection, code, subSectionNames.at(m_random.bounded(int(subSectionNames.size()))));
        if (m_random.bounded(3) == 0)
            addRow(sub, EstimateRowType::Note, QString(), QStringLiteral("Rates include waste and fixing"))->setCollapsable(false);
        double total = 0;
        const int items = 4 + int(m_random.bounded(12));
        for (int itemPos = 0; itemPos < items && m_table.rows.size() < rowCount; ++itemPos) {
            const QString itemCode = QStringLiteral("%1.%2").arg(code).arg(itemPos + 1);
            if (m_random.bounded(5) == 0)
                total += addItemWithSubItems(sub, itemCode);
            else
                total += addPricedRow(sub, EstimateRowType::Item, itemCode);
        }
        sub->setValue(EstimateField::Total, total);
        return total;
    }

    double addItemWithSubItems(TreeBaseItem* sub, const QString& code)
    {
        TreeBaseItem* item = addRow(sub, EstimateRowType::Item, code, itemNames.at(m_random.bounded(int(itemNames.size()))));
        double total = 0;
        const int subItems = 2 + int(m_random.bounded(3));
        for (int subItemPos = 0; subItemPos < subItems; ++subItemPos)
            total += addPricedRow(item, EstimateRowType::SubItem, QStringLiteral("%1.%2").arg(code).arg(subItemPos + 1));
        item->setValue(EstimateField::Total, total);
        return total;
    }

    Estimate::Table& m_table;
    QRandomGenerator m_random; // bounded() gets int bounds: the qsizetype overload of Qt 6 draws other numbers, and a seed must give one estimate on both
    QHash<TreeBaseItem*, QList<BaseDataItem*>> m_children;
    LoadProgress* m_progress; // not owned, may be null
};

// The reviewer's copy: same rows and ids, some quantities changed.
void copyReviewed(const Estimate::Table& source, Estimate::Table& target, quint32 seed)
{
    QRandomGenerator random(seed);
    QHash<BaseDataItem*, TreeBaseItem*> copies;
    for (BaseDataItem* row : source.rows) {
        auto* copy = new TreeBaseItem;
        for (int field = EstimateField::Id; field <= EstimateField::Total; ++field) {
            if (row->getValue(field).isValid())
                copy->setValue(field, row->getValue(field));
        }
        copy->setRowType(row->getRowType());
        copy->setLevel(row->getLevel());
        copy->setCurIndex(row->getCurIndex());
        copy->setRowHeight(row->getRowHeight());
        copy->setCollapsable(row->getCollapsable());
        copy->setOwner(target.table.get());
        if (row->getValue(EstimateField::Quantity).isValid() && random.bounded(7) == 0) {
            const double quantity = qRound(row->getValue(EstimateField::Quantity).toDouble() * (0.7 + random.bounded(0.4)) * 100) / 100.0;
            copy->setValue(EstimateField::Quantity, quantity);
            copy->setValue(EstimateField::Total, quantity * row->getValue(EstimateField::UnitPrice).toDouble());
        }
        copies.insert(row, copy);
        target.rows.append(copy);
    }
    for (BaseDataItem* row : source.rows) {
        TreeBaseItem* copy = copies.value(row);
        copy->setParentAlone(copies.value(row->getParent()));
        QList<BaseDataItem*> children;
        for (BaseDataItem* child : row->getBaseDataItemlist())
            children.append(copies.value(child));
        copy->setBaseDataItemListDirect(children);
    }
}

} // namespace

std::unique_ptr<Estimate> EstimateGenerator::generate(int rowCount, quint32 seed, LoadProgress* progress)
{
    if (progress)
        progress->total = 2 * qint64(rowCount); // the submitted work, then its reviewed copy
    auto estimate = std::make_unique<Estimate>();
    estimate->projectName = QStringLiteral("Office building, Riverside Quay");
    estimate->submittedNodeId = 1;
    estimate->reviewedNodeId = 2;
    Estimate::Work& submitted = estimate->addWork(QStringLiteral("Submitted estimate"), 1, 0);
    Estimate::Table& bill = estimate->addTable(submitted, QStringLiteral("Bill of quantities"), 1001);
    if (!Builder(bill, seed, progress).build(rowCount))
        return nullptr;
    Estimate::Work& reviewed = estimate->addWork(QStringLiteral("Reviewed estimate"), 2, 1);
    Estimate::Table& reviewedBill = estimate->addTable(reviewed, QStringLiteral("Bill of quantities"), 3004);
    copyReviewed(bill, reviewedBill, seed + 1);
    if (progress)
        progress->done = progress->total.load();
    estimate->relateReviewed();
    return estimate;
}
