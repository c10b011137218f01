#include "distribution/distributor.h"

#include "distribution/top_distributor.h"

namespace kestrova {
namespace {

// Depth-first over the ownership tree; the first head that is not `self`.
VMurTopDistributor* FindTop(Component* component, const Component* self) {
  if (component != self) {
    if (auto* top = dynamic_cast<VMurTopDistributor*>(component)) return top;
  }
  for (Component* owned : component->Components()) {
    if (VMurTopDistributor* top = FindTop(owned, self)) return top;
  }
  return nullptr;
}

}  // namespace

VMurDistributor::VMurDistributor(Component* owner) : VMurGeneralDistributor(owner) {}

VMurDistributor::~VMurDistributor() {
  NoticeChannelsLeft("VMurGeneralDistributor[=" + Name() +
                     "].Destroy: Please call DeleteChannel after communication termination");
  SetDistributor(nullptr);
}

void VMurDistributor::SetDistributor(VMurGeneralDistributor* parent) {
  if (parent == parent_) return;
  if (parent_ != nullptr) {
    parent_->DetachChild(this);
    parent_ = nullptr;
    ResetChannels();
  }
  if (parent == nullptr || parent == this || IsAncestorOf(parent)) return;
  parent_ = parent;
  parent_->AttachChild(this);
  if (parent_->ChannelCount() > 1) GrowChannels(parent_->ChannelCount());
}

void VMurDistributor::Loaded() {
  VMurGeneralDistributor::Loaded();
  if (parent_ == nullptr && automatic_connect_) SetDistributor(FindTop(Root(), this));
}

VMurTopDistributor* VMurDistributor::TopDistributor() {
  VMurGeneralDistributor* head = this;
  while (auto* member = dynamic_cast<VMurDistributor*>(head)) {
    head = member->parent_;
    if (head == nullptr) return nullptr;
  }
  return dynamic_cast<VMurTopDistributor*>(head);
}

}  // namespace kestrova
