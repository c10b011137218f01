// A distributor below another one in a chain: it sees the head's buffers and takes part in
// claiming and being told about packets. Network transports hang their own one below the chain.
#pragma once

#include "distribution/general_distributor.h"

namespace kestrova {

class VMurDistributor : public VMurGeneralDistributor {
 public:
  explicit VMurDistributor(Component* owner);
  ~VMurDistributor() override;

  VMurGeneralDistributor* Distributor() const { return parent_; }
  // Attaches below `parent` (nullptr detaches). A parent below this member would make a cycle:
  // the member is then left without a parent.
  void SetDistributor(VMurGeneralDistributor* parent);
  bool AutomaticConnect() const { return automatic_connect_; }
  void SetAutomaticConnect(bool value) { automatic_connect_ = value; }

  // Without a parent, attaches to the first head found in the application.
  void Loaded() override;
  VMurTopDistributor* TopDistributor() override;

 private:
  VMurGeneralDistributor* parent_ = nullptr;
  bool automatic_connect_ = true;
};

}  // namespace kestrova
