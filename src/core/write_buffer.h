#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "core/front_queue.h"
#include "platform/io_slice.h"

class TBufferPools;
class TSharedBlock;

// Queued output of one connection, or a scratch area for building text.
// Owns one storage block taken from the process-wide pools (size classes
// 1..6, class 0 = none) and gives it back on shrinking, Clear(true) and
// destruction. Growth is refused past the largest class, and for a client
// that takes nothing sooner, so one stuck reader cannot eat the hub's memory:
// the bytes are then lost and Overflow() tells. A client that keeps taking
// bytes may grow to the largest class, however far behind a burst left it.
// Ahead of its own bytes a connection's queue may hold references to shared
// blocks (and its own bytes frozen when one was queued); they count against
// the same limits as if they were copied. The text accessors (View, Data,
// SubString, Find*, Replace*, Drop*) see only the buffer's own bytes, the
// newest part of the queue. Main thread only. Aligned to a cache line: the
// fields a broadcast touches share the first one.
class alignas(64) TWriteBuffer {
 public:
  explicit TWriteBuffer(int initialClass = 0);
  ~TWriteBuffer();

  TWriteBuffer(const TWriteBuffer&) = delete;
  TWriteBuffer& operator=(const TWriteBuffer&) = delete;

  // Message framing: the send pass sends nothing while a begun message has
  // not been ended.
  void BeginMessage();
  void EndMessage();  // appends '|'; EBufferException when already ended
  bool IsMessageEnded() const { return !messageBegun_ || messageEnded_; }

  // The hot path of every broadcast: a bounds check and a copy.
  void AppendData(const void* data, std::size_t count) {
    if (count == 0) return;
    // Shared bytes queued: every append is measured against the whole queue.
    if ((count >= static_cast<std::size_t>(Room()) || queued_ != 0) && !Reserve(count, false)) return;
    std::memcpy(data_ + length_, data, count);
    length_ += static_cast<int>(count);
  }
  void AppendChar(char c) {
    if ((Room() <= 1 || queued_ != 0) && !Reserve(1, false)) return;
    data_[length_++] = c;
  }
  void AppendString(std::string_view text) { AppendData(text.data(), text.size()); }
  // Only while nothing shared is queued (the bytes would go behind it).
  void PrependString(std::string_view text);

  // Queues `length` bytes of `block` from `offset` after everything queued
  // so far; refused (overflow) as an append of the same size would be. The
  // buffer keeps the block alive until it is sent. Only complete messages
  // may go deflated: the parts of a message split across blocks go plain.
  void AppendShared(const std::shared_ptr<const TSharedBlock>& block, int offset, int length);
  void AppendShared(const std::shared_ptr<const TSharedBlock>& block);
  // A broadcast's piece of a shared block: queued by reference behind what
  // is queued already, or copied while the buffer holds only a few of its
  // own bytes (a client that keeps up sends them with the next pass).
  void AppendBroadcast(const std::shared_ptr<const TSharedBlock>& block, int offset, int length);
  // The next bytes to send, at most `limit` of them in at most `most`
  // slices; returns the slices used. A ZPipe client (`packed`) gets each
  // queued block not yet begun in its deflated form, made once per block.
  int Collect(TIoSlice* slices, int most, int limit, bool packed);
  int SharedBytes() const { return queued_; }

  // Makes room for `extra` more bytes, moving to a larger class if needed;
  // false (and the overflow flag set) when growth is refused. `force` lifts
  // the limits for slow clients.
  bool Reserve(std::size_t extra, bool force);
  bool ReserveExtra(std::size_t extra) { return Reserve(extra + kReserveSlack, true); }
  void SetSizeClass(int sizeClass);

  // Drops `count` sent bytes from the front, tracks the client's progress and
  // shrinks the storage; true when the buffer is now empty.
  bool Consume(int count);
  // A send round in which the client took nothing of what was queued.
  void NoteStalledRound() { ++stalledRounds_; }
  void Clear(bool releaseStorage);
  void DropLastChar();
  void DropLast(int count);  // only when at least one byte remains

  // Bytes from..to inclusive; EAssertionFailed "BadParms(from, to)" when the
  // range is reversed or leaves the content.
  std::string SubString(int from, int to) const;
  // First / last position of `c` in from..to, -1 when absent or when the
  // range is reversed or leaves the content.
  int FindChar(char c, int from, int to) const;
  int FindCharBack(char c, int from, int to) const;

  // Replaces `count` bytes at `pos`; false when growth was refused.
  bool ReplaceRange(int pos, int count, std::string_view text);
  // Replaces every occurrence lying in start..end-1, left to right, resuming
  // after each inserted text; stops at the first refused growth.
  void ReplaceAllInRange(std::string_view oldText, std::string_view newText, int end,
                         int start = 0);
  void ReplaceAll(std::string_view oldText, std::string_view newText) {
    ReplaceAllInRange(oldText, newText, length_);
  }
  void ReplaceChar(char from, char to);

  // Replaces the not yet compressed tail by "$ZOn|" and its zlib stream;
  // returns the compressed size, 0 when nothing was gained.
  int Compress();

  // Everything queued, shared parts included, as it stands.
  std::string GetString() const;
  std::string_view View() const { return {data_, static_cast<std::size_t>(length_)}; }
  const char* Data() const { return data_; }
  int Length() const { return queued_ + length_; }
  bool Empty() const { return length_ == 0 && queued_ == 0; }
  int Capacity() const { return capacity_; }
  int SizeClass() const { return sizeClass_; }
  bool Overflow() const { return overflow_; }
  int CompressionMark() const { return compressMark_; }
  int UnsentRounds() const { return unsentRounds_; }
  int StalledRounds() const { return stalledRounds_; }

 private:
  friend class TBufferPools;

  static constexpr std::size_t kReserveSlack = 10240;
  // Own bytes up to which a broadcast is copied rather than referenced.
  static constexpr std::size_t kBroadcastCopyLimit = 4096;

  // A queued piece ahead of the own bytes. `packable`: a whole text of
  // complete messages not begun yet, which a ZPipe client may get deflated.
  struct TSegment {
    std::shared_ptr<const TSharedBlock> block;
    const char* data = nullptr;  // into the block's text or packed form
    int length = 0;
    int offset = 0;              // where data starts in the block's text
    bool packable = false;
    bool endsMessage = true;     // its plain text ends with a whole message
  };

  // Moves the own bytes behind the queued segments, as the compression
  // would have split them: what is compressed or was partly sent stays as
  // it is, the rest may still be deflated.
  void FreezeOwnBytes();
  void PushOwnSegment(int from, int to, bool packable);
  void PackSegment(std::size_t index);
  void PackFrames(std::size_t index);
  // Whether `total` queued bytes fit the class the queue may occupy; grows
  // that class within the unforced limits.
  bool AdmitTotal(std::size_t total, bool force);
  void ShrinkQueueClass();
  // Copies the last segment's state into tail_ after a change of segments_.
  void SyncTail();

  // Free bytes after the content.
  int Room() const { return capacity_ - head_ - length_; }
  // Moves the content to the front of the block.
  void Compact();
  void Shrink();
  void ReturnBlock(TBufferPools& pools);

  // The first cache line holds what a broadcast reads and writes, queued or
  // copied: the content's place, the limits and the last segment's state.
  char* data_ = nullptr;  // block_ + head_
  // Sent bytes are dropped by moving the start of the content (head_) rather
  // than the content itself: a large queue drained a chunk at a time would
  // otherwise be copied over and over.
  int head_ = 0;
  int length_ = 0;
  int capacity_ = 0;
  int queued_ = 0;             // bytes in segments_
  int sizeClass_ = 0;
  int queueClass_ = 0;         // the class all queued bytes would fill together
  int stalledRounds_ = 0;      // consecutive send rounds that took nothing
  bool overflow_ = false;
  bool messageBegun_ = false;
  bool messageEnded_ = false;
  // The last segment as the broadcast path needs it, kept in the buffer:
  // reading it from the queue's storage cost a cache miss per client and
  // broadcast. SyncTail() after any other change of segments_.
  struct TTail {
    const TSharedBlock* block = nullptr;  // null: no segment
    int offset = 0;
    int end = 0;  // offset + length
    bool packable = false;
    bool endsMessage = true;
  };
  TTail tail_;

  char* block_ = nullptr;
  int previousRemaining_ = 0;  // length left by the previous Consume
  int compressMark_ = 0;       // content below it is compressed or plain by choice
  int unsentRounds_ = 0;       // consecutive Consumes that left bytes behind
  TFrontQueue<TSegment> segments_;
};
