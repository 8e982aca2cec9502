#pragma once

#include "GcSetting.h"

/*!
 * A project: owns its settings, which are never null.
 *
 *     ProjectWorks project;
 *     work.setOwner(&project);
 *     project.GetGcSetting()->SetMapZxCurIndex(0, 1, 1001, 4, 2);
 */
class ITEMVIEWS_PLATFORM_EXPORT ProjectWorks
{
public:
    virtual ~ProjectWorks() = default;

    GcSetting* GetGcSetting() { return &m_settings; }

private:
    GcSetting m_settings;
};
