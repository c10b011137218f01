// The main window's network port 1: the TCP and UDP components, their data and state, the
// messages about servers and peers.
#include "monitor/widgets/main_window.h"

#include <QComboBox>
#include <cstdio>
#include <string>

#include "util/color.h"
#include "util/widgets/combo_text.h"

namespace kestrova {

void TForm1::CreateTcp() {
  VMurTcp1 = new VMurTcp(&components_);
  VMurTcp1->BeginLoading();
  VMurTcp1->SetName("VMurTcp1");
  VMurTcp1->SetDistributor(VMurTopDistributor1);
  VMurTcp1->SetClientPort(0);
  VMurTcp1->SetOnAdvancedReceiveData(
      [this](VMurCommunicationComponent* sender, ChannelKey channel, std::string_view bytes) {
        NetworkReceiveData(sender, channel, bytes);
      });
  VMurTcp1->SetOnAdvancedStateChange(
      [this](VMurCommunicationComponent* sender, ChannelKey channel, TCommState state) {
        VMurTcp1AdvancedStateChange(sender, channel, state);
      });
  VMurTcp1->OnClientChange = [this](VMurTcp*, VMurTcpClient* client, VMurItemOperation op) {
    ClientChange(true, client->AddressText(), op);
  };
}

void TForm1::CreateUdp() {
  VMurUdp1 = new VMurUdp(&components_);
  VMurUdp1->SetName("VMurUdp1");
  VMurUdp1->SetDistributor(VMurTopDistributor1);
  VMurUdp1->SetOnAdvancedReceiveData(
      [this](VMurCommunicationComponent* sender, ChannelKey channel, std::string_view bytes) {
        NetworkReceiveData(sender, channel, bytes);
      });
  VMurUdp1->OnClientChange() = [this](VMurUdp*, VMurUdpClient* client, VMurItemOperation op) {
    ClientChange(false, client->AddressText(), op);
  };
  VMurUdp1->OnDropped() = [this](VMurUdp*, uint64_t count) {
    const std::string text = "UDP: " + std::to_string(count) +
                             " datagrams could not be taken (the receive buffer was full)";
    ShowMessage(text);
    std::fprintf(stderr, "kestrova: %s\n", text.c_str());
  };
  VMurUdp1->SetOnAdvancedStateChange(
      [this](VMurCommunicationComponent* sender, ChannelKey channel, TCommState state) {
        VMurTcp1AdvancedStateChange(sender, channel, state);
      });
}

void TForm1::NetworkReceiveData(VMurCommunicationComponent* sender, ChannelKey channel,
                                std::string_view bytes) {
  SetComboFontColor(ComboPort1, clGreen);
  VMurTopDistributor1->ComReceive(sender, channel, bytes);
}

void TForm1::VMurTcp1AdvancedStateChange(VMurCommunicationComponent* sender, ChannelKey channel,
                                         TCommState) {
  const ChannelMode mode = display_->Options().mode;
  // A server's state: red when not serving, blue with peers, purple while waiting for them.
  const auto server_state = [&](bool serving, int peers, const char* kind, int port) {
    if (!serving) {
      SetComboFontColor(ComboPort1, clRed);
      if (channel.IsNil()) ShowMessage(std::string(kind) + " server closed");
    } else if (peers >= 1) {
      SetComboFontColor(ComboPort1, clBlue);
    } else {
      SetComboFontColor(ComboPort1, clPurple);
      if (channel.IsNil()) {
        ShowMessage(std::string(kind) + " server ready at " + std::to_string(port));
      }
    }
  };
  if (mode == ChannelMode::kTcpServer || sender == VMurTcp1) {
    server_state(VMurTcp1->ServerListening(), VMurTcp1->ClientCount(), "TCP",
                 VMurTcp1->ServerPort());
  }
  if (mode == ChannelMode::kTcpClient) {
    SetComboFontColor(ComboPort1, VMurTcp1->ClientActive() ? clBlue : clRed);
  }
  if (mode == ChannelMode::kUdpServer || sender == VMurUdp1) {
    server_state(VMurUdp1->Active(), VMurUdp1->PeerCount(), "UDP", VMurUdp1->ServerPort());
  }
  if (mode == ChannelMode::kUdpClient) {
    SetComboFontColor(ComboPort1, VMurUdp1->ClientStarted() ? clBlue : clRed);
  }
  VMurTopDistributor1->DeleteChannel(channel.IsNil() ? ChannelKey(sender) : channel);
}

void TForm1::ClientChange(bool tcp, const std::string& address, VMurItemOperation op) {
  if (op != vsioAdd && op != vsioRemove) return;
  const ChannelMode mode = display_->Options().mode;
  const bool outgoing = mode == (tcp ? ChannelMode::kTcpClient : ChannelMode::kUdpClient);
  const std::string kind = tcp ? "TCP" : "UDP";
  if (op == vsioAdd) {
    ShowMessage(kind + " Client added " + (outgoing ? "to " : "from ") + address);
  } else if (outgoing) {
    ShowMessage(kind + " connection removed (" + address + ")");
  } else {
    ShowMessage(kind + " Client removed (" + address + ")");
  }
}

}  // namespace kestrova
