#pragma once

#include "WorkBaseObject.h"

/*!
 * The project's top work, returned by WorkBaseObject::GetXmWorks(); its
 * project-changed flag is the one the models set after an edit.
 */
class ITEMVIEWS_PLATFORM_EXPORT ConstructionWorks : public WorkBaseObject
{
};
