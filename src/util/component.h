// Components: named objects in an ownership tree. An owner frees what it owns; components that
// asked to be told hear when another one goes away; a loading phase defers settings until
// Loaded().
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "util/object.h"

namespace kestrova {

class Component : public Object {
 public:
  enum class Operation { kInsert, kRemove };

  explicit Component(Component* owner);
  // Frees the owned components (last created first), then tells the owner's tree and every
  // subscriber that this component is gone. A derived class whose owned components must still
  // see it whole calls DestroyComponents() at the start of its own destructor.
  ~Component() override;

  Component* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Virtual: components that name parts of their own after themselves follow a rename.
  virtual void SetName(std::string name) { name_ = std::move(name); }

  // Owned components in the order they were created.
  const std::vector<Component*>& Components() const { return components_; }
  Component* FindComponent(std::string_view name) const;
  // The top of the ownership tree: the application for everything a window owns.
  Component* Root();

  // Between BeginLoading() and Loaded() a component takes its design values; setters that
  // would act (open a port, start a timer) wait for Loaded(). Overrides call the base first.
  void BeginLoading() { loading_ = true; }
  virtual void Loaded() { loading_ = false; }
  bool Loading() const { return loading_; }
  bool Destroying() const { return destroying_; }

  // `subscriber` gets Notification(this, kRemove) when this component goes away.
  void FreeNotification(Component* subscriber);
  void RemoveFreeNotification(Component* subscriber);

 protected:
  // Told when `component` is inserted into or removed from the tree this component belongs to,
  // or when a component it subscribed to goes away. The base passes it on to the owned
  // components; overrides call the base.
  virtual void Notification(Component* component, Operation operation);
  void DestroyComponents();

 private:
  void Insert(Component* component);
  void Remove(Component* component);
  static void Unlink(std::vector<Component*>& list, Component* component);

  Component* owner_;
  std::string name_;
  std::vector<Component*> components_;
  std::vector<Component*> free_notifies_;  // both directions: who is told and whom we tell
  bool loading_ = false;
  bool destroying_ = false;
};

}  // namespace kestrova
