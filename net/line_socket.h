// TCustomLineNetSocket: in line mode, received data is offered one line at a
// time (including its line end), with optional echo and line editing. A line
// longer than LineLimit is refused instead of growing the buffer forever.
#pragma once
#include <string>

#include "net/socks_socket.h"

namespace kv {

class TCustomLineNetSocket : public TCustomSocksNetSocket {
 public:
  explicit TCustomLineNetSocket(TComponent* AOwner);

  bool LineMode() const { return FLineMode; }
  virtual void SetLineMode(bool Value);
  const std::string& LineEnd() const { return FLineEnd; }
  void SetLineEnd(const std::string& Value) { FLineEnd = Value; }
  bool LineEcho() const { return FLineEcho; }
  void SetLineEcho(bool Value) { FLineEcho = Value; }
  bool LineEdit() const { return FLineEdit; }
  void SetLineEdit(bool Value) { FLineEdit = Value; }
  // Longest line accepted, line end included (64 KiB unless set).
  int32_t LineLimit() const { return FLineLimit; }
  void SetLineLimit(int32_t Value) { FLineLimit = Value > 0 ? Value : 65536; }
  // Bytes buffered and not yet read.
  int32_t LineBuffered() const { return static_cast<int32_t>(FRcvBuf.size() - FRcvPos); }

  const TPropertyTable& PropertyTable() const override;

 protected:
  void WndProc(TMessage& Msg) override;
  int32_t GetRcvdCount() override;
  int32_t DoRecv(void* Buffer, int32_t BufferSize, int32_t Flags) override;
  bool DoDataAvailable(uint16_t Error) override;
  void DoSessionClosed(uint16_t Error) override;
  virtual void EditLine(const char* Data, int32_t Len);
  // An over-long line arrived; it has been dropped. Raises the socket error
  // (so the connection ends) unless a subclass answers otherwise.
  virtual void DoLineLimitExceeded();

 private:
  void OfferLines(size_t SearchFrom);
  void Compact();
  bool Alive(TSocketToken Token) const { return !FreePending() && FToken == Token; }

  bool FLineMode = false;
  std::string FLineEnd = "\r\n";
  bool FLineEcho = false;
  bool FLineEdit = false;
  int32_t FLineLimit = 65536;
  std::string FRcvBuf;     // received, not yet read: FRcvBuf[FRcvPos..]
  size_t FRcvPos = 0;
  int32_t FLineLength = 0;  // rest of the line on offer, 0 = none
  bool FOffering = false;
};

}  // namespace kv
