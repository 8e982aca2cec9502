#pragma once

#include "itemviews_platform_export.h"

class ConstructionWorks;
class ProjectWorks;

/*!
 * A work of a project: the unit the clicked cell is kept per (node id, audit id),
 * and the holder of the project-changed flag through its project's top work.
 *
 *     WorkBaseObject work;
 *     work.setOwner(&project);
 *     work.SetXmWorks(&topWork);
 */
class ITEMVIEWS_PLATFORM_EXPORT WorkBaseObject
{
public:
    virtual ~WorkBaseObject() = default;

    /// The owning project, or null.
    ProjectWorks* getOwner() const { return m_owner; }
    void setOwner(ProjectWorks* owner) { m_owner = owner; }
    int getNodeId() const { return m_nodeId; }
    void setNodeId(int nodeId) { m_nodeId = nodeId; }
    int getAuditId() const { return m_auditId; }
    void setAuditId(int auditId) { m_auditId = auditId; }

    /// The project-modified flag.
    void setProjectWorkChanged(const bool& changed) { m_projectWorkChanged = changed; }
    bool getProjectWorkChanged() const { return m_projectWorkChanged; }
    /// The project's top work, or null.
    ConstructionWorks* GetXmWorks() const { return m_xmWorks; }
    void SetXmWorks(ConstructionWorks* works) { m_xmWorks = works; }

private:
    ProjectWorks* m_owner = nullptr; // not owned
    ConstructionWorks* m_xmWorks = nullptr; // not owned
    int m_nodeId = 0;
    int m_auditId = 0;
    bool m_projectWorkChanged = false;
};
