// The flow-control and event characters of a serial port component (XON, XOFF, the event
// character). Changes reprogram the open port at once.
#pragma once

namespace kestrova {

class TVSSComm32;

class VSSComm32Chars {
 public:
  explicit VSSComm32Chars(TVSSComm32* comm = nullptr) : comm_(comm) {}
  VSSComm32Chars(const VSSComm32Chars&) = delete;
  VSSComm32Chars& operator=(const VSSComm32Chars&) = delete;

  char XOn() const { return xon_; }
  void SetXOn(char value);
  char XOff() const { return xoff_; }
  void SetXOff(char value);
  char Evt() const { return evt_; }
  void SetEvt(char value);

  // Copies all three characters, then reprograms the port.
  void Assign(const VSSComm32Chars& source);

 private:
  void Reprogram();

  TVSSComm32* const comm_;
  char xon_ = 17;
  char xoff_ = 19;
  char evt_ = 0;
};

}  // namespace kestrova
