#include "util/component.h"

#include <algorithm>

namespace kestrova {

Component::Component(Component* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->Insert(this);
}

Component::~Component() {
  destroying_ = true;
  // Tell subscribers first, while the tree is still intact; each also forgets us.
  while (!free_notifies_.empty()) {
    Component* other = free_notifies_.back();
    free_notifies_.pop_back();
    Unlink(other->free_notifies_, this);
    other->Notification(this, Operation::kRemove);
  }
  DestroyComponents();
  if (owner_ != nullptr) owner_->Remove(this);
}

Component* Component::FindComponent(std::string_view name) const {
  for (Component* component : components_) {
    if (component->name_ == name) return component;
  }
  return nullptr;
}

Component* Component::Root() {
  Component* root = this;
  while (root->owner_ != nullptr) root = root->owner_;
  return root;
}

void Component::FreeNotification(Component* subscriber) {
  if (subscriber == nullptr || subscriber == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), subscriber) == free_notifies_.end()) {
    free_notifies_.push_back(subscriber);
    subscriber->free_notifies_.push_back(this);
  }
}

void Component::RemoveFreeNotification(Component* subscriber) {
  if (subscriber == nullptr) return;
  Unlink(free_notifies_, subscriber);
  Unlink(subscriber->free_notifies_, this);
}

void Component::Notification(Component* component, Operation operation) {
  if (operation == Operation::kRemove) RemoveFreeNotification(component);
  // Indexed from the end: a handler may free components of ours while we pass the notice on.
  for (size_t i = components_.size(); i > 0; --i) {
    if (i <= components_.size()) components_[i - 1]->Notification(component, operation);
  }
}

void Component::DestroyComponents() {
  while (!components_.empty()) {
    delete components_.back();  // its destructor removes it from our list
  }
}

void Component::Insert(Component* component) {
  components_.push_back(component);
  Notification(component, Operation::kInsert);
}

void Component::Remove(Component* component) {
  Notification(component, Operation::kRemove);
  Unlink(components_, component);
}

void Component::Unlink(std::vector<Component*>& list, Component* component) {
  auto it = std::find(list.begin(), list.end(), component);
  if (it != list.end()) list.erase(it);
}

}  // namespace kestrova
