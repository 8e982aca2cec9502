#pragma once

#include "zBaseDelegate.h"

#include <QPointer>

/*!
 * A delegate that keeps one editor widget of its own (a drop-down list, a
 * calculator pad...) instead of letting the view register it. The widget
 * belongs to whoever parents it; the delegate only remembers it.
 *
 *     auto* delegate = new zBaseWidgetDelegate(view);
 *     delegate->setEditor(new QComboBox(view->viewport()));
 */
class ITEMVIEWS_PLATFORM_EXPORT zBaseWidgetDelegate : public zBaseDelegate
{
    Q_OBJECT
public:
    explicit zBaseWidgetDelegate(QObject* parent = nullptr);

    /// The delegate's own editor widget, or null (also once destroyed).
    QWidget* editor() const { return m_editor; }
    void setEditor(QWidget* editor) { m_editor = editor; }

private:
    QPointer<QWidget> m_editor; // not owned
};
