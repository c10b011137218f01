// The forms that form placement takes into account: the application's named windows, and
// forms marked as such that may sit docked inside another window.
#pragma once

#include <QList>
#include <QSize>

class QWidget;

namespace kestrova {

class VMurAppInfo;

// Marks a widget that is a form of its own even while docked into another window.
void MarkAsForm(QWidget* widget);
bool IsForm(const QWidget* widget);
// A form docked into another window is not a window itself.
bool IsDocked(const QWidget* form);
// True once the form has a window of its own (for a docked form: once it was created).
bool HasWindow(const QWidget* form);

// The size a docked form takes when it floats again; its current size until one is set.
void SetUndockedSize(QWidget* form, QSize size);
QSize UndockedSize(const QWidget* form);

// Every form with a name that is not in the exception list, owned forms before their owners:
// the top-level windows in order of their names, each after the forms inside it.
QList<QWidget*> CollectForms(const VMurAppInfo& info);

}  // namespace kestrova
