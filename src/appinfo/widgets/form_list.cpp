#include "appinfo/widgets/form_list.h"

#include <QApplication>
#include <QVariant>
#include <QWidget>
#include <algorithm>

#include "appinfo/mur_app_info.h"

namespace kestrova {
namespace {

constexpr char kFormProperty[] = "kestrovaForm";
constexpr char kUndockedSizeProperty[] = "kestrovaUndockedSize";

bool IsFormWindowType(Qt::WindowType type) {
  return type == Qt::Window || type == Qt::Dialog || type == Qt::Tool;
}

void CollectBelow(QObject* object, const VMurAppInfo& info, QList<QWidget*>& forms) {
  for (QObject* child : object->children()) CollectBelow(child, info, forms);
  if (!object->isWidgetType()) return;
  auto* widget = static_cast<QWidget*>(object);
  if (!IsForm(widget) || widget->objectName().isEmpty()) return;
  if (info.InExceptionList(widget->objectName().toStdString())) return;
  forms.push_back(widget);
}

}  // namespace

void MarkAsForm(QWidget* widget) { widget->setProperty(kFormProperty, true); }

bool IsForm(const QWidget* widget) {
  if (widget->isWindow()) return IsFormWindowType(widget->windowType());
  return widget->property(kFormProperty).toBool();
}

bool IsDocked(const QWidget* form) { return !form->isWindow(); }

bool HasWindow(const QWidget* form) {
  if (IsDocked(form)) return form->testAttribute(Qt::WA_WState_Created);
  return form->windowHandle() != nullptr;
}

void SetUndockedSize(QWidget* form, QSize size) { form->setProperty(kUndockedSizeProperty, size); }

QSize UndockedSize(const QWidget* form) {
  QVariant size = form->property(kUndockedSizeProperty);
  return size.isValid() ? size.toSize() : form->size();
}

QList<QWidget*> CollectForms(const VMurAppInfo& info) {
  // Windows with a parent are found below it; the parentless ones have no order of their
  // own in Qt, so their names give one.
  QList<QWidget*> roots;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->parentWidget() == nullptr) roots.push_back(widget);
  }
  std::stable_sort(roots.begin(), roots.end(), [](const QWidget* a, const QWidget* b) {
    return a->objectName() < b->objectName();
  });
  QList<QWidget*> forms;
  for (QWidget* root : roots) CollectBelow(root, info, forms);
  return forms;
}

}  // namespace kestrova
