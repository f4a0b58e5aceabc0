// The read pass: takes what epoll reported readable since the last pass,
// reads each socket until it would block or the read block is full, and
// hands the bytes to the protocol engine.

#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "core/buffer_pools.h"
#include "core/core_hooks.h"
#include "core/hub_core.h"
#include "core/hub_core_connection.h"
#include "core/hub_socket.h"
#include "core/protocol_message.h"
#include "core/read_buffer.h"
#include "settings/language.h"
#include "utils/hub_time.h"
#include "utils/text_format.h"

namespace {

constexpr std::uint64_t kCheckIntervalMs = 1000;

}  // namespace

void THubCore::TryReadAll() {
  TPassGuard guard(*this);
  const std::uint64_t now = TTime::Now();
  const bool checkingPass = now - lastCheckTick_ >= kCheckIntervalMs;
  if (checkingPass) lastCheckTick_ = now;
  std::int64_t received = 0;
  std::vector<std::uint64_t> ids;
  ids.swap(ready_);
  for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
    TConnection* connection = Find(*it);
    if (connection == nullptr) continue;
    connection->Ready = false;
    THubSocket& user = *connection->User;
    if (user.LifeState == lsClosing) continue;
    const std::int64_t before = user.UserInfo().Transfer.BytesReceived;
    try {
      ReadConnection(*connection, checkingPass, now);
    } catch (const std::exception& e) {
      // One client's fault closes that client; the others are still read.
      user.ReadBuffer().Release();
      ReportError("THubCore.TryReadAll", e.what());
      CloseNow(user);
    }
    received += user.UserInfo().Transfer.BytesReceived - before;
  }
  hooks_.Link().AddDownload(received);
}

void THubCore::ReadConnection(TConnection& connection, bool checkingPass, std::uint64_t now) {
  THubSocket& user = *connection.User;
  TReadBuffer& in = user.ReadBuffer();
  bool ended = false;
  bool waitWrite = false;
  int got = 0;
  for (;;) {
    in.Allocate();
    if (in.FreeSpace() == 0) break;
    const TIoResult result = connection.Socket.Read(in.FreeArea(), static_cast<std::size_t>(in.FreeSpace()));
    if (result.status == TIoStatus::kDone) {
      in.AddFilled(static_cast<int>(result.bytes));
      got += static_cast<int>(result.bytes);
      continue;
    }
    if (result.status == TIoStatus::kWouldBlock) {
      waitWrite = result.waitWrite;
    } else {
      if (result.status == TIoStatus::kError) hooks_.Counters().Count(TCoreCount::SocketError);
      ended = true;
    }
    break;
  }
  if (got > 0) {
    user.UserInfo().Transfer.BytesReceived += got;
    user.LastActivity = now;
  }
  TWriteBuffer& out = user.WriteBuffer();
  const int queuedBefore = out.Length();
  bool junkPassed = true;
  if (checkingPass) junkPassed = protocol_.CheckJunkData(user, true);
  if (user.LifeState != lsClosing) protocol_.ParseBuffer(user);
  if (ended) {
    // Whatever came before the end has been handled.
    CloseNow(user);
    return;
  }
  if (user.LifeState != lsClosing && in.HasBlock() && in.FreeSpace() == 0) {
    // A full block without a single '|': no client sends messages this long.
    messages_.SendChat(user, FormatText(language_.Text(TLanguageKey::ReadBufferFull), kReadBlockSize));
    user.LifeState = lsClosing;
    hooks_.Counters().Count(TCoreCount::Overflow);
    TrySendSocket(user);
    return;
  }
  if (user.LifeState == lsClosing) {
    TrySendSocket(user);
    return;
  }
  if (junkPassed && out.UnsentRounds() == 0 && out.Length() > queuedBefore) TrySendSocket(user);
  if (Find(user.Id()) == nullptr) return;
  if (connection.Socket.HasBufferedInput()) {
    // The session holds decrypted bytes no readiness will announce.
    if (!connection.Ready) {
      connection.Ready = true;
      ready_.push_back(user.Id());
    }
  } else {
    connection.Watch.SetInterest(ioRead | (waitWrite ? ioWrite : 0u));
  }
}
