#include "Estimate.h"

#include <QHash>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {
qint64 rowId(BaseDataItem* row)
{
    return row->getValue(EstimateField::Id).toLongLong();
}

// Fills the index of rows by id on first use.
const QHash<qint64, BaseDataItem*>& byId(const QList<BaseDataItem*>& rows, QHash<qint64, BaseDataItem*>& index)
{
    if (index.isEmpty()) {
        index.reserve(rows.size());
        for (BaseDataItem* row : rows)
            index.insert(rowId(row), row);
    }
    return index;
}

// Frees estimates on a thread of its own, in turn. The process's end stops it between two rows:
// what is left stays allocated, and reachable, until the process is gone.
class Disposal
{
public:
    static Disposal& instance()
    {
        static Disposal disposal;
        return disposal;
    }
    void add(std::unique_ptr<Estimate> estimate)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.push_back(std::move(estimate));
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        m_wake.notify_one();
    }

private:
    ~Disposal()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
        // Kept, not freed: freeing millions of rows would hold up the end of the process.
        s_leftAtExit = new std::deque<std::unique_ptr<Estimate>>(std::move(m_pending));
    }
    void run()
    {
        constexpr int rowsPerStep = 4096; // between two looks at whether the process is ending
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping.load() || !m_pending.empty(); });
            if (m_stopping)
                return;
            Estimate* estimate = m_pending.front().get(); // listed until freed: reachable if the process ends first
            lock.unlock();
            bool freed = false;
            while (!freed && !m_stopping.load(std::memory_order_relaxed))
                freed = estimate->deleteRows(rowsPerStep);
            lock.lock();
            if (!freed)
                continue;
            std::unique_ptr<Estimate> rest = std::move(m_pending.front());
            m_pending.pop_front();
            lock.unlock();
            rest.reset(); // small by now: the tables, the works and an empty audit service
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::unique_ptr<Estimate>> m_pending; // the first is being freed
    std::atomic<bool> m_stopping{false}; // changed under the mutex, read without it between steps
    std::thread m_thread;
    // Written once, after the thread has ended, and read by nothing but a leak checker: volatile, so
    // that the compiler keeps a store that nothing in the program reads.
    static std::deque<std::unique_ptr<Estimate>>* volatile s_leftAtExit;
};

std::deque<std::unique_ptr<Estimate>>* volatile Disposal::s_leftAtExit = nullptr;
} // namespace

Estimate::Estimate()
    : project(std::make_unique<ProjectWorks>())
    , topWork(std::make_unique<ConstructionWorks>())
    , audit(std::make_unique<AuditBusiness>())
{
    topWork->setOwner(project.get());
}

Estimate::~Estimate()
{
    for (const auto& work : works) {
        for (const auto& table : work->tables)
            qDeleteAll(table->rows);
    }
}

void Estimate::dispose(std::unique_ptr<Estimate> estimate)
{
    if (!estimate)
        return;
    if (estimate->audit->thread() == QThread::currentThread())
        estimate->audit->moveToThread(nullptr); // it has no events to wait for any more: any thread may delete it
    Disposal::instance().add(std::move(estimate));
}

bool Estimate::deleteRows(int count)
{
    for (const auto& work : works) {
        for (const auto& table : work->tables) {
            for (; count > 0 && !table->rows.isEmpty(); --count) {
                BaseDataItem* row = table->rows.takeLast();
                audit->ForgetRow(row); // the service is emptied row by row, as its rows go
                delete row;
            }
            if (count == 0)
                return false;
        }
    }
    return true;
}

Estimate::Work& Estimate::addWork(const QString& name, int nodeId, int auditId)
{
    auto work = std::make_unique<Work>();
    work->name = name;
    work->work = std::make_unique<WorkBaseObject>();
    work->work->setOwner(project.get());
    work->work->setNodeId(nodeId);
    work->work->setAuditId(auditId);
    work->work->SetXmWorks(topWork.get());
    works.push_back(std::move(work));
    return *works.back();
}

Estimate::Table& Estimate::addTable(Work& work, const QString& name, int tableType)
{
    auto table = std::make_unique<Table>();
    table->name = name;
    table->table = std::make_unique<TableBaseObject>();
    table->table->setTableType(tableType);
    table->table->setOwner(work.work.get());
    work.tables.push_back(std::move(table));
    return *work.tables.back();
}

QList<BaseDataItem*> Estimate::rootRows(const Table& table)
{
    QList<BaseDataItem*> roots;
    for (BaseDataItem* row : table.rows) {
        if (!row->getParent())
            roots.append(row);
    }
    return roots;
}

QList<BaseDataItem*> Estimate::preOrder(const Table& table)
{
    QList<BaseDataItem*> ordered;
    for (BaseDataItem* root : rootRows(table)) {
        ordered.append(root);
        ordered.append(root->getAllBaseDataItemlist(true));
    }
    return ordered;
}

void Estimate::relateReviewed()
{
    const Work* submitted = workByNodeId(submittedNodeId);
    const Work* reviewed = workByNodeId(reviewedNodeId);
    if (!submitted || !reviewed)
        return;
    for (size_t tablePos = 0; tablePos < submitted->tables.size() && tablePos < reviewed->tables.size(); ++tablePos) {
        const QList<BaseDataItem*>& submittedRows = submitted->tables[tablePos]->rows;
        const QList<BaseDataItem*>& reviewedRows = reviewed->tables[tablePos]->rows;
        QHash<qint64, BaseDataItem*> submittedById; // built only if the two tables' rows do not line up
        const bool noneMarked = !m_differencesMarked;
        audit->ReserveRelations(reviewedRows.size());
        for (int rowPos = 0; rowPos < reviewedRows.size(); ++rowPos) {
            const qint64 id = rowId(reviewedRows.at(rowPos));
            BaseDataItem* counterpart = rowPos < submittedRows.size() && rowId(submittedRows.at(rowPos)) == id
                ? submittedRows.at(rowPos)
                : byId(submittedRows, submittedById).value(id);
            if (counterpart) {
                audit->SetRelationItem(counterpart, reviewedRows.at(rowPos));
                markDifferences(counterpart, reviewedRows.at(rowPos), noneMarked);
            }
        }
    }
    m_differencesMarked = true;
}

// noneMarked: no difference is marked yet, so rows that agree need not be looked up.
void Estimate::markDifferences(BaseDataItem* submitted, BaseDataItem* reviewed, bool noneMarked)
{
    const AuditBusiness::State changed{1, QColor(255, 140, 0)};
    for (int field : {int(EstimateField::Quantity), int(EstimateField::Total)}) {
        const AuditBusiness::AuditHeaderItem column{field, 0, 0};
        const bool differs = submitted->getValue(field) != reviewed->getValue(field);
        if (noneMarked ? !differs : differs == (audit->GetDifference(submitted, &column).kind != 0))
            continue; // most rows agree: leave them out of the service altogether
        const AuditBusiness::State state = differs ? changed : AuditBusiness::State{};
        audit->SetDifference(submitted, field, state);
        audit->SetDifference(reviewed, field, state);
    }
}

void Estimate::updateDifferences(BaseDataItem* row)
{
    bool related = false;
    BaseDataItem* counterpart = audit->GetRelationItem(row, related);
    if (related && counterpart)
        markDifferences(row, counterpart); // either side: a difference is the same both ways
    m_differencesMarked = m_differencesMarked || (related && counterpart);
}

int Estimate::rowCount() const
{
    int rows = 0;
    for (const auto& work : works) {
        for (const auto& table : work->tables)
            rows += table->rows.size();
    }
    return rows;
}

Estimate::Work* Estimate::workByNodeId(int nodeId) const
{
    for (const auto& work : works) {
        if (work->work->getNodeId() == nodeId)
            return work.get();
    }
    return nullptr;
}
