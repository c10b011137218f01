#include "util/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/channel_key.h"

namespace kestrova {
namespace {

// Records the removals it hears of, and its own destruction, in a shared log.
class Probe : public Component {
 public:
  Probe(Component* owner, std::string name, std::vector<std::string>* log)
      : Component(owner), log_(log) {
    SetName(std::move(name));
  }
  ~Probe() override { log_->push_back("~" + Name()); }
  std::vector<std::string> removed;  // names of the components heard of

 protected:
  void Notification(Component* component, Operation operation) override {
    Component::Notification(component, operation);
    if (operation == Operation::kRemove) removed.push_back(component->Name());
  }

 private:
  std::vector<std::string>* log_;
};

TEST(Component, OwnerFreesOwnedComponentsLastCreatedFirst) {
  std::vector<std::string> log;
  auto* root = new Probe(nullptr, "root", &log);
  auto* a = new Probe(root, "a", &log);
  new Probe(a, "a1", &log);
  new Probe(root, "b", &log);
  EXPECT_EQ(root->FindComponent("b")->Name(), "b");
  EXPECT_EQ(root->FindComponent("a1"), nullptr);  // only direct children
  EXPECT_EQ(a->Components()[0]->Root(), root);
  delete root;
  EXPECT_EQ(log, (std::vector<std::string>{"~root", "~b", "~a", "~a1"}));
}

TEST(Component, RemovalReachesSiblingsAndSubscribersOnce) {
  std::vector<std::string> log;
  Probe root(nullptr, "root", &log);
  auto* sibling = new Probe(&root, "sibling", &log);
  auto* nested = new Probe(sibling, "nested", &log);
  auto* going = new Probe(&root, "going", &log);
  Probe outsider(nullptr, "outsider", &log);
  going->FreeNotification(&outsider);

  delete going;
  const std::vector<std::string> expected{"going"};
  EXPECT_EQ(sibling->removed, expected);
  EXPECT_EQ(nested->removed, expected);
  EXPECT_EQ(outsider.removed, expected);
}

TEST(Component, SubscriptionWorksBothWaysAndCanBeWithdrawn) {
  std::vector<std::string> log;
  Probe watcher(nullptr, "watcher", &log);
  auto* first = new Probe(nullptr, "first", &log);
  auto* second = new Probe(nullptr, "second", &log);
  first->FreeNotification(&watcher);
  second->FreeNotification(&watcher);
  second->RemoveFreeNotification(&watcher);
  delete second;
  EXPECT_TRUE(watcher.removed.empty());
  {
    // The subscriber going first must not leave a dangling entry behind in `first`.
    Probe short_lived(nullptr, "short", &log);
    first->FreeNotification(&short_lived);
  }
  delete first;
  EXPECT_EQ(watcher.removed, std::vector<std::string>{"first"});
}

TEST(Component, LoadingPhaseEndsWithLoaded) {
  Component component(nullptr);
  EXPECT_FALSE(component.Loading());
  component.BeginLoading();
  EXPECT_TRUE(component.Loading());
  component.Loaded();
  EXPECT_FALSE(component.Loading());
}

TEST(ChannelKey, NilObjectAndPseudoChannelsAreDistinctKeys) {
  Object peer;
  const ChannelKey nil;
  const ChannelKey object_key(&peer);
  const ChannelKey pseudo = ChannelKey::Pseudo(513);
  EXPECT_TRUE(nil.IsNil());
  EXPECT_EQ(ChannelKey(nullptr), nil);
  EXPECT_EQ(object_key.AsObject(), &peer);
  EXPECT_FALSE(object_key.IsPseudo());
  EXPECT_TRUE(pseudo.IsPseudo());
  EXPECT_EQ(pseudo.PseudoNumber(), 513);
  EXPECT_EQ(pseudo.AsObject(), nullptr);
  EXPECT_NE(pseudo, nil);
  EXPECT_NE(std::hash<ChannelKey>()(object_key), std::hash<ChannelKey>()(nil));
}

}  // namespace
}  // namespace kestrova
