// Line mode: received bytes gather in a buffer; each complete line is offered
// to OnDataAvailable until it has been read.
#include "net/line_socket.h"

#include <algorithm>
#include <cstring>

namespace kv {

TCustomLineNetSocket::TCustomLineNetSocket(TComponent* AOwner) : TCustomSocksNetSocket(AOwner) {}

void TCustomLineNetSocket::SetLineMode(bool Value) {
  if (Value == FLineMode) return;
  FLineMode = Value;
  if (LineBuffered() > 0 || FLineLength > 0) PostMessageToSelf(WM_RESUME_LINE_MODE, 0, 0);
}

void TCustomLineNetSocket::WndProc(TMessage& Msg) {
  if (Msg.Msg != WM_RESUME_LINE_MODE) {
    TCustomSocksNetSocket::WndProc(Msg);
    return;
  }
  if (FOffering) return;
  if (FLineMode) {
    OfferLines(0);
    return;
  }
  // Left from line mode: offered as raw data while each offer takes some.
  const TSocketToken token = FToken;
  while (LineBuffered() > 0 && !FreePending()) {
    const int32_t before = LineBuffered();
    if (!TCustomSocksNetSocket::DoDataAvailable(0)) break;
    if (!Alive(token) || LineBuffered() == before) break;
  }
  Compact();
}

int32_t TCustomLineNetSocket::GetRcvdCount() {
  if (FLineMode && !FLineEnd.empty() && !SocksBusy()) return FLineLength;
  if (LineBuffered() > 0) return LineBuffered();
  return TCustomSocksNetSocket::GetRcvdCount();
}

int32_t TCustomLineNetSocket::DoRecv(void* Buffer, int32_t BufferSize, int32_t Flags) {
  if (FLineLength > 0 || (!FLineMode && LineBuffered() > 0)) {
    const int32_t avail = FLineLength > 0 ? FLineLength : LineBuffered();
    const int32_t n = std::clamp(BufferSize, 0, avail);
    std::memcpy(Buffer, FRcvBuf.data() + FRcvPos, static_cast<size_t>(n));
    FRcvPos += static_cast<size_t>(n);
    if (FLineLength > 0) FLineLength -= n;
    return n;
  }
  if (FLineMode && LineBuffered() > 0) {
    // The start of a line whose end has not come: nothing to read yet.
    FLastError = WSAEWOULDBLOCK;
    WSASetLastError(WSAEWOULDBLOCK);
    return -1;
  }
  return TCustomSocksNetSocket::DoRecv(Buffer, BufferSize, Flags);
}

bool TCustomLineNetSocket::DoDataAvailable(uint16_t Error) {
  if (!FLineMode || FLineEnd.empty() || SocksBusy()) return TCustomSocksNetSocket::DoDataAvailable(Error);
  // One read of up to a line's limit (and one byte to notice a longer
  // line); no asking first how much waits, which would cost a call more.
  const int32_t waiting = std::max(FLineLimit, 4096) + 1;
  const size_t old = static_cast<size_t>(LineBuffered());
  std::string fresh(static_cast<size_t>(waiting), '\0');
  const int32_t got = TCustomSocksNetSocket::DoRecv(fresh.data(), waiting, 0);
  if (got <= 0) {
    if (got < 0 && FLastError == WSAEWOULDBLOCK) FLastError = 0;
    return true;
  }
  fresh.resize(static_cast<size_t>(got));
  if (FLineEdit) {
    EditLine(fresh.data(), got);
  } else {
    FRcvBuf += fresh;
    if (FLineEcho) SendStr(fresh);
  }
  if (FreePending()) return true;
  OfferLines(old > FLineEnd.size() ? old - FLineEnd.size() : 0);
  return true;
}

void TCustomLineNetSocket::OfferLines(size_t SearchFrom) {
  // A handler that pumps messages may read more; the outer call offers it.
  if (FOffering) return;
  FOffering = true;
  const TSocketToken token = FToken;
  bool tooLong = false;
  for (;;) {
    const size_t at = FRcvBuf.find(FLineEnd, FRcvPos + SearchFrom);
    if (at == std::string::npos) {
      tooLong = LineBuffered() > FLineLimit;
      break;
    }
    const size_t lineLen = at + FLineEnd.size() - FRcvPos;
    if (lineLen > static_cast<size_t>(FLineLimit)) {
      tooLong = true;
      break;
    }
    FLineLength = static_cast<int32_t>(lineLen);
    while (FLineMode && FLineLength > 0) {
      const int32_t before = FLineLength;
      if (!TCustomSocksNetSocket::DoDataAvailable(0)) break;  // no handler: the offer ends
      if (!Alive(token)) {
        FOffering = false;
        return;
      }
      if (FLineLength == before) break;  // a handler that reads nothing drops the line
    }
    if (!FLineMode && FLineLength == static_cast<int32_t>(lineLen)) {
      FLineLength = 0;  // switched to raw mode without reading: kept as raw data
      break;
    }
    FRcvPos += static_cast<size_t>(FLineLength);
    FLineLength = 0;
    SearchFrom = 0;
    if (!FLineMode) break;
  }
  FOffering = false;
  if (tooLong) {
    FRcvBuf.clear();
    FRcvPos = 0;
    DoLineLimitExceeded();
    return;
  }
  Compact();
}

void TCustomLineNetSocket::Compact() {
  if (FOffering || FLineLength > 0) return;
  if (FRcvPos >= FRcvBuf.size()) {
    FRcvBuf.clear();
    FRcvPos = 0;
  } else if (FRcvPos > 4096 && FRcvPos * 2 > FRcvBuf.size()) {
    FRcvBuf.erase(0, FRcvPos);
    FRcvPos = 0;
  }
}

void TCustomLineNetSocket::DoLineLimitExceeded() {
  // Handlers' exceptions are swallowed by the receive loop, so the error goes
  // straight to the background handling, which ends the connection.
  FLastError = WSAEMSGSIZE;
  try {
    RaiseException("Received line longer than " + std::to_string(FLineLimit) + " bytes");
  } catch (const Exception& E) {
    HandleBackGroundException(E);
    return;
  }
  Abort();  // OnError has seen it; the stream cannot be followed any more
}

void TCustomLineNetSocket::EditLine(const char* Data, int32_t Len) {
  std::string echo;
  for (int32_t i = 0; i < Len; ++i) {
    const char c = Data[i];
    const size_t lineStart = [&] {
      const size_t nl = FRcvBuf.rfind('\n');
      return nl == std::string::npos || nl < FRcvPos ? FRcvPos : nl + 1;
    }();
    if (c == 8) {
      if (FRcvBuf.size() > lineStart) {
        FRcvBuf.pop_back();
        echo += '\b';
      }
    } else if (c == 9) {
      const size_t spaces = 8 - (FRcvBuf.size() - lineStart) % 8;
      FRcvBuf.append(spaces, ' ');
      echo.append(spaces, ' ');
    } else {
      FRcvBuf += c;
      echo += c;
    }
  }
  if (FLineEcho && !echo.empty()) SendStr(echo);
}

void TCustomLineNetSocket::DoSessionClosed(uint16_t Error) {
  if (FLineMode && LineBuffered() > 0 && !FOffering) {
    // What came without a final line end is the last line.
    FOffering = true;
    FLineLength = LineBuffered();
    while (FLineLength > 0) {
      const int32_t before = FLineLength;
      if (!TCustomSocksNetSocket::DoDataAvailable(0) || FreePending() || FLineLength == before) break;
    }
    FOffering = false;
  }
  if (FreePending()) return;
  FRcvBuf.clear();
  FRcvPos = 0;
  FLineLength = 0;
  TCustomSocksNetSocket::DoSessionClosed(Error);
}

const TPropertyTable& TCustomLineNetSocket::PropertyTable() const {
  static const auto table =
      TPropertyTable::Make<TCustomLineNetSocket>(TCustomSocksNetSocket::PropertyTable(), [](auto& p) {
        p.Bool("LineMode", &TCustomLineNetSocket::LineMode, &TCustomLineNetSocket::SetLineMode);
        p.String("LineEnd", &TCustomLineNetSocket::LineEnd, &TCustomLineNetSocket::SetLineEnd);
        p.Bool("LineEcho", &TCustomLineNetSocket::LineEcho, &TCustomLineNetSocket::SetLineEcho);
        p.Bool("LineEdit", &TCustomLineNetSocket::LineEdit, &TCustomLineNetSocket::SetLineEdit);
        p.Integer("LineLimit", &TCustomLineNetSocket::LineLimit, &TCustomLineNetSocket::SetLineLimit);
      });
  return table;
}

}  // namespace kv
