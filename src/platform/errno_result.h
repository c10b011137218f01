// A value or the errno that kept it from being had: how the platform layer reports failures
// without exceptions.
#pragma once

namespace kestrova {

// `error` is 0 on success, else an errno value. Some operations fill `value` on failure too
// (bytes already transferred when a read was cancelled, for example); their comments say so.
template <typename T>
struct ErrnoResult {
  int error = 0;
  T value{};

  bool ok() const { return error == 0; }
};

}  // namespace kestrova
