#include "platform/widgets/termination_notifier.h"

namespace kestrova {

TerminationNotifier::TerminationNotifier(std::function<void(int)> on_signal)
    : notifier_(signals_.fd(), QSocketNotifier::Read), on_signal_(std::move(on_signal)) {
  QObject::connect(&notifier_, &QSocketNotifier::activated, [this] {
    if (const int signal_number = signals_.Take()) on_signal_(signal_number);
  });
}

}  // namespace kestrova
