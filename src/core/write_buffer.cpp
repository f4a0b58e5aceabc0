#include "core/write_buffer.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/buffer_pools.h"
#include "core/compress_block.h"
#include "core/shared_block.h"
#include "base/exceptions.h"

namespace {

constexpr std::string_view kCompressedHeader = "$ZOn|";

// A tail must shrink by at least this much to be worth sending compressed.
constexpr int kMinimumGain = 4;

// Shorter tails go plain without trying: zlib's framing and the "$ZOn|"
// header outweigh what deflate finds in a line or two, and a busy hub would
// otherwise run deflate for every chat line to every ZPipe user.
constexpr int kMinimumTail = 128;

// Content below kShrinkBelow[c] moves a buffer of class c down one class;
// an emptying buffer of any class from 2 up goes straight to class 1.
constexpr std::array<int, kWriteClassCount> kShrinkBelow = {0, 0, 15360, 46080, 87040, 294912,
                                                            884736};

// The largest class a buffer may grow to unforced: any while its client
// takes bytes, class 3 after one round that took nothing (a full socket
// now and then is normal), class 2 once it took nothing twice running.
int MostClassFor(int stalledRounds) {
  if (stalledRounds == 0) return kWriteClassCount - 1;
  return stalledRounds == 1 ? 3 : 2;
}

// The last tail compressed and its result (empty when it did not pay): a
// broadcast leaves the same tail in every ZPipe user's buffer, and one
// deflate then serves them all. Main thread only, like the buffers.
struct TLastBlock {
  bool Valid = false;
  std::string Plain;
  std::string Packed;
};
constexpr int kLastBlockLimit = 262144;

TLastBlock& LastBlock() {
  static TLastBlock last;
  return last;
}

// The part of a shared block deflated last; holding the source keeps its
// address from being reused by another block.
struct TLastPiece {
  std::shared_ptr<const TSharedBlock> source;
  int offset = 0;
  int length = 0;
  std::shared_ptr<const TSharedBlock> packed;
};

TLastPiece& LastPiece() {
  static TLastPiece last;
  return last;
}

// Own bytes frozen lately: clients of one kind that were all sent in the
// same pass then took the same broadcasts, and freeze the same bytes; they
// share one block and its deflated form. Holding the blocks keeps their
// addresses from being reused.
class TRecentFrozen {
 public:
  static constexpr std::size_t kLargest = 16384;

  std::shared_ptr<const TSharedBlock> Freeze(std::string_view text) {
    if (text.size() > kLargest) return std::make_shared<const TSharedBlock>(std::string(text));
    for (const auto& block : blocks_) {
      if (block && block->Text() == text) return block;
    }
    auto block = std::make_shared<const TSharedBlock>(std::string(text));
    blocks_[next_] = block;
    next_ = (next_ + 1) % blocks_.size();
    return block;
  }

 private:
  std::array<std::shared_ptr<const TSharedBlock>, 8> blocks_;
  std::size_t next_ = 0;
};

TRecentFrozen& RecentFrozen() {
  static TRecentFrozen recent;
  return recent;
}

std::string BadParms(int a, int b) {
  return "BadParms(" + std::to_string(a) + ", " + std::to_string(b) + ")";
}

}  // namespace

TWriteBuffer::TWriteBuffer(int initialClass) { SetSizeClass(initialClass); }

TWriteBuffer::~TWriteBuffer() {
  if (block_ != nullptr) ReturnBlock(BufferPools());
}

void TWriteBuffer::ReturnBlock(TBufferPools& pools) {
  if (block_ != nullptr) pools.GiveBlock(sizeClass_, block_);
  block_ = nullptr;
  data_ = nullptr;
  head_ = 0;
  length_ = 0;
  capacity_ = 0;
  sizeClass_ = 0;
}

void TWriteBuffer::BeginMessage() {
  messageEnded_ = false;
  messageBegun_ = true;
}

void TWriteBuffer::EndMessage() {
  // Checked before appending so a caller's mistake does not also put an
  // empty message on the wire.
  if (messageEnded_) {
    throw EBufferException("TWriteBuffer.EndMessage", "EndMessage called twice on the same buffer");
  }
  AppendChar('|');
  messageEnded_ = true;
}

void TWriteBuffer::PrependString(std::string_view text) {
  KAVRO_CHECK(segments_.Empty(), "PrependString behind shared blocks");
  if (text.empty() || !Reserve(text.size(), false)) return;
  std::memmove(data_ + text.size(), data_, static_cast<std::size_t>(length_));
  std::memcpy(data_, text.data(), text.size());
  length_ += static_cast<int>(text.size());
  // Keep the compressed part marked, or the next Compress would deflate it again.
  if (compressMark_ > 0) compressMark_ += static_cast<int>(text.size());
}

void TWriteBuffer::Compact() {
  if (head_ == 0) return;
  std::memmove(block_, data_, static_cast<std::size_t>(length_));
  head_ = 0;
  data_ = block_;
}

bool TWriteBuffer::Reserve(std::size_t extra, bool force) {
  if (queued_ != 0) {
    if (!AdmitTotal(static_cast<std::size_t>(queued_) + static_cast<std::size_t>(length_) + extra, force)) {
      return false;
    }
    // Behind shared blocks the own bytes pile up while the blocks drain:
    // a full block joins the queue and a fresh one begins, rather than
    // moving to ever larger blocks, a copy each time.
    if (!force && length_ > 0 && extra < static_cast<std::size_t>(capacity_ / 2) &&
        static_cast<std::size_t>(length_) + extra >= static_cast<std::size_t>(capacity_ - head_)) {
      FreezeOwnBytes();
    }
  }
  const auto limit = static_cast<std::size_t>(kWriteBufferLimit);
  const std::size_t need = extra < limit ? static_cast<std::size_t>(length_) + extra : limit;
  if (need < static_cast<std::size_t>(capacity_)) {
    if (need >= static_cast<std::size_t>(capacity_ - head_)) Compact();
    return true;
  }
  int target = 0;
  if (need < limit) {
    target = 1;
    while (need >= static_cast<std::size_t>(kWriteClassSize[static_cast<std::size_t>(target)])) {
      ++target;
    }
  }
  // Only rounds that took nothing count against a client: one that takes
  // bytes every round is reading, however far a burst left it behind.
  if (!force && target > MostClassFor(stalledRounds_)) target = 0;
  if (target == 0) {
    overflow_ = true;
    return false;
  }
  SetSizeClass(target);
  return true;
}

void TWriteBuffer::SetSizeClass(int sizeClass) {
  if (sizeClass == sizeClass_) return;
  KAVRO_CHECK(sizeClass >= 0 && sizeClass < kWriteClassCount, "Bad buffer size class");
  const int newCapacity = kWriteClassSize[static_cast<std::size_t>(sizeClass)];
  KAVRO_CHECK(length_ <= newCapacity, "BufferSizeError");
  TBufferPools& pools = BufferPools();
  char* block = sizeClass == 0 ? nullptr : pools.TakeBlock(sizeClass);
  if (length_ > 0) std::memcpy(block, data_, static_cast<std::size_t>(length_));
  if (block_ != nullptr) pools.GiveBlock(sizeClass_, block_);
  block_ = block;
  data_ = block;
  head_ = 0;
  capacity_ = newCapacity;
  sizeClass_ = sizeClass;
}

bool TWriteBuffer::Consume(int count) {
  if (count > 0) {
    KAVRO_CHECK(count <= Length(), BadParms(count, Length()));
    const bool hadSegments = queued_ != 0;
    while (count > 0 && queued_ != 0) {
      TSegment& front = segments_.Front();
      const int taken = std::min(count, front.length);
      front.data += taken;
      front.length -= taken;
      front.offset += taken;
      front.packable = false;  // begun: the rest goes as it is
      queued_ -= taken;
      count -= taken;
      if (front.length == 0) segments_.PopFront();
    }
    if (hadSegments) SyncTail();
    if (count > 0) {
      length_ -= count;
      head_ = length_ == 0 ? 0 : head_ + count;
      data_ = block_ + head_;
      compressMark_ = std::max(compressMark_ - count, 0);
      previousRemaining_ = length_;
    }
    unsentRounds_ = Empty() ? 0 : unsentRounds_ + 1;
    stalledRounds_ = 0;
    ShrinkQueueClass();
  }
  Shrink();
  return Empty();
}

void TWriteBuffer::ShrinkQueueClass() {
  if (queued_ == 0) {
    queueClass_ = 0;
    return;
  }
  const int total = queued_ + length_;
  while (queueClass_ >= 2 && total < kShrinkBelow[static_cast<std::size_t>(queueClass_)]) --queueClass_;
}

bool TWriteBuffer::AdmitTotal(std::size_t total, bool force) {
  const int current = std::max(queueClass_, sizeClass_);
  if (total < static_cast<std::size_t>(kWriteClassSize[static_cast<std::size_t>(current)])) return true;
  int target = 0;
  if (total < static_cast<std::size_t>(kWriteBufferLimit)) {
    target = 1;
    while (total >= static_cast<std::size_t>(kWriteClassSize[static_cast<std::size_t>(target)])) ++target;
  }
  if (!force && target > MostClassFor(stalledRounds_)) target = 0;
  if (target == 0) {
    overflow_ = true;
    return false;
  }
  queueClass_ = target;
  return true;
}

void TWriteBuffer::PushOwnSegment(int from, int to, bool packable) {
  if (to <= from) return;
  auto block = RecentFrozen().Freeze({data_ + from, static_cast<std::size_t>(to - from)});
  TSegment segment;
  segment.data = block->Text().data();
  segment.length = block->Size();
  segment.packable = packable;
  segment.endsMessage = data_[to - 1] == '|';
  segment.block = std::move(block);
  queued_ += segment.length;
  segments_.PushBack(std::move(segment));
  SyncTail();
}

void TWriteBuffer::SyncTail() {
  if (segments_.Empty()) {
    tail_ = TTail{};
    return;
  }
  const TSegment& last = segments_.Back();
  tail_ = {last.block.get(), last.offset, last.offset + last.length, last.packable, last.endsMessage};
}

void TWriteBuffer::FreezeOwnBytes() {
  if (length_ == 0) return;
  // The split Compress would make: compressed bytes, and the rest of a
  // message the client has part of, go as they are.
  int start = std::min(std::max(compressMark_, 0), length_);
  if (previousRemaining_ != 0 && start < length_) {
    const int bar = FindChar('|', start, length_ - 1);
    start = bar < 0 ? length_ : bar + 1;
  }
  // Frozen inside a message: the rest of it follows in the own bytes and
  // must go plain, as for a partly sent message.
  const bool midMessage = data_[length_ - 1] != '|';
  PushOwnSegment(0, start, false);
  PushOwnSegment(start, length_, !midMessage);
  length_ = 0;
  head_ = 0;
  data_ = block_;
  compressMark_ = 0;
  previousRemaining_ = midMessage ? 1 : 0;
}

void TWriteBuffer::AppendShared(const std::shared_ptr<const TSharedBlock>& block) {
  AppendShared(block, 0, block->Size());
}

void TWriteBuffer::AppendShared(const std::shared_ptr<const TSharedBlock>& block, int offset,
                                int length) {
  KAVRO_CHECK(offset >= 0 && length >= 0 && offset + length <= block->Size(), BadParms(offset, length));
  if (length == 0) return;
  const std::size_t total = static_cast<std::size_t>(queued_) + static_cast<std::size_t>(length_) +
                            static_cast<std::size_t>(length);
  if (queued_ == 0) queueClass_ = sizeClass_;
  if (!AdmitTotal(total, false)) return;
  if (length_ == 0 && tail_.packable && tail_.block == block.get() && tail_.end == offset) {
    // Right behind the part of the same block queued last (a run of
    // broadcasts): that part grows, unless it was begun or packed. Written,
    // not read: the segment itself is likely out of the cache.
    tail_.end += length;
    tail_.endsMessage = block->Text()[static_cast<std::size_t>(offset + length - 1)] == '|';
    TSegment& last = segments_.Back();
    last.length = tail_.end - tail_.offset;
    last.endsMessage = tail_.endsMessage;
    queued_ += length;
    return;
  }
  FreezeOwnBytes();
  TSegment segment;
  segment.block = block;
  segment.data = block->Text().data() + offset;
  segment.length = length;
  segment.offset = offset;
  segment.endsMessage = segment.data[length - 1] == '|';
  // A stream holds whole messages: a part of one (a long message in
  // several blocks) goes plain.
  segment.packable = segment.endsMessage && tail_.endsMessage;
  queued_ += length;
  tail_ = {block.get(), offset, offset + length, segment.packable, segment.endsMessage};
  segments_.PushBack(std::move(segment));
}

void TWriteBuffer::AppendBroadcast(const std::shared_ptr<const TSharedBlock>& block, int offset,
                                   int length) {
  // A client that keeps up takes a copy while its own bytes stay short: a
  // copy costs it less than a queued reference, and goes with the next pass
  // anyway. Past that (a burst, a login storm) its bytes join the queue.
  // Only the buffer's first fields are read on that path (queued_, not the
  // tail), as it runs for every client.
  const bool keepsUp =
      queued_ == 0 && static_cast<std::size_t>(length_) + static_cast<std::size_t>(length) <= kBroadcastCopyLimit;
  // Behind a message not yet ended the piece is copied too: a queued piece
  // may go deflated, and a stream may only start where a message does.
  if (keepsUp || (length_ > 0 ? data_[length_ - 1] != '|' : !tail_.endsMessage)) {
    AppendData(block->Text().data() + offset, static_cast<std::size_t>(length));
    return;
  }
  AppendShared(block, offset, length);
}

void TWriteBuffer::PackSegment(std::size_t index) {
  TSegment& segment = segments_[index];
  segment.packable = false;
  if (segment.block->Growing()) {
    PackFrames(index);
    return;
  }
  std::string_view packed;
  std::shared_ptr<const TSharedBlock> owner = segment.block;
  if (segment.offset == 0 && segment.length == segment.block->Size()) {
    packed = segment.block->Packed();
  } else {
    // A part of a list block (the list around the client's own entry): the
    // clients that keep up all ask for the same part, which is deflated
    // once for them.
    TLastPiece& last = LastPiece();
    if (last.source != segment.block || last.offset != segment.offset || last.length != segment.length) {
      last.packed = std::make_shared<const TSharedBlock>(
          PackMessages({segment.data, static_cast<std::size_t>(segment.length)}));
      last.source = segment.block;
      last.offset = segment.offset;
      last.length = segment.length;
    }
    owner = last.packed;
    packed = owner->Text();
  }
  if (packed.empty()) return;
  queued_ += static_cast<int>(packed.size()) - segment.length;
  segment.block = std::move(owner);
  segment.data = packed.data();
  segment.length = static_cast<int>(packed.size());
  segment.offset = 0;
}

void TWriteBuffer::PackFrames(std::size_t index) {
  // A piece of a broadcast run: its frames are deflated once for every
  // client that queued them, whatever point each joined the run at.
  const TSegment whole = segments_[index];
  std::vector<TSharedBlock::TFramePart> parts = whole.block->PackFrames(whole.offset, whole.length);
  std::vector<TSegment> pieces;
  pieces.reserve(parts.size());
  for (TSharedBlock::TFramePart& part : parts) {
    TSegment piece;
    if (part.packed) {
      piece.data = part.packed->Text().data();
      piece.length = part.packed->Size();
      piece.block = std::move(part.packed);
    } else {
      piece.data = whole.block->Text().data() + part.offset;
      piece.length = part.length;
      piece.offset = part.offset;
      piece.block = whole.block;
    }
    queued_ += piece.length;
    pieces.push_back(std::move(piece));
  }
  pieces.back().endsMessage = whole.endsMessage;
  queued_ -= whole.length;
  segments_[index] = std::move(pieces.front());
  segments_.InsertAfter(index, std::make_move_iterator(pieces.begin() + 1), std::make_move_iterator(pieces.end()));
}

int TWriteBuffer::Collect(TIoSlice* slices, int most, int limit, bool packed) {
  int used = 0;
  bool repacked = false;
  std::size_t i = 0;
  // queued_ first: a buffer without segments need not touch the queue.
  for (; queued_ != 0 && i < segments_.Size() && used < most && limit > 0; ++i) {
    if (packed && segments_[i].packable && segments_[i].endsMessage) {
      PackSegment(i);
      repacked = true;
    }
    const TSegment& segment = segments_[i];
    const int take = std::min(segment.length, limit);
    slices[used++] = {segment.data, static_cast<std::size_t>(take)};
    limit -= take;
  }
  if (repacked) SyncTail();
  // The own bytes go behind every queued segment.
  if ((queued_ == 0 || i == segments_.Size()) && used < most && limit > 0 && length_ > 0) {
    slices[used++] = {data_, static_cast<std::size_t>(std::min(length_, limit))};
  }
  return used;
}

std::string TWriteBuffer::GetString() const {
  std::string text;
  text.reserve(static_cast<std::size_t>(Length()));
  for (const TSegment& segment : segments_) text.append(segment.data, static_cast<std::size_t>(segment.length));
  text.append(View());
  return text;
}

void TWriteBuffer::Shrink() {
  if (sizeClass_ >= 2 && length_ < kShrinkBelow[2]) {
    SetSizeClass(1);
    return;
  }
  for (int c = 3; c < kWriteClassCount; ++c) {
    if (sizeClass_ >= c && length_ < kShrinkBelow[static_cast<std::size_t>(c)]) {
      SetSizeClass(c - 1);
      return;
    }
  }
}

void TWriteBuffer::Clear(bool releaseStorage) {
  segments_.Clear();
  tail_ = TTail{};
  queued_ = 0;
  queueClass_ = 0;
  length_ = 0;
  head_ = 0;
  data_ = block_;
  compressMark_ = 0;
  overflow_ = false;
  messageBegun_ = false;
  messageEnded_ = false;
  if (releaseStorage) SetSizeClass(0);
}

void TWriteBuffer::DropLastChar() {
  if (length_ > 0) --length_;
  compressMark_ = std::min(compressMark_, length_);
}

void TWriteBuffer::DropLast(int count) {
  if (count <= 0 || length_ - count < 1) return;
  length_ -= count;
  compressMark_ = std::min(compressMark_, length_);
}

std::string TWriteBuffer::SubString(int from, int to) const {
  KAVRO_CHECK(from >= 0 && from <= to && to < length_, BadParms(from, to));
  return std::string(data_ + from, static_cast<std::size_t>(to - from + 1));
}

int TWriteBuffer::FindChar(char c, int from, int to) const {
  if (from < 0 || to < from || to >= length_) return -1;
  const void* hit = std::memchr(data_ + from, c, static_cast<std::size_t>(to - from + 1));
  return hit == nullptr ? -1 : static_cast<int>(static_cast<const char*>(hit) - data_);
}

int TWriteBuffer::FindCharBack(char c, int from, int to) const {
  if (from < 0 || to < from || to >= length_) return -1;
  for (int i = to; i >= from; --i) {
    if (data_[i] == c) return i;
  }
  return -1;
}

bool TWriteBuffer::ReplaceRange(int pos, int count, std::string_view text) {
  KAVRO_CHECK(pos >= 0 && count >= 0 && pos <= length_ - count, BadParms(pos, count));
  const int size = static_cast<int>(text.size());
  if (size > count && !Reserve(static_cast<std::size_t>(size - count), false)) return false;
  const int tail = length_ - pos - count;
  if (size != count && tail > 0) {
    std::memmove(data_ + pos + size, data_ + pos + count, static_cast<std::size_t>(tail));
  }
  if (size > 0) std::memcpy(data_ + pos, text.data(), text.size());
  length_ += size - count;
  return true;
}

void TWriteBuffer::ReplaceAllInRange(std::string_view oldText, std::string_view newText, int end,
                                     int start) {
  if (oldText.empty() || oldText == newText) return;
  end = std::min(end, length_);
  auto pos = static_cast<std::size_t>(std::max(start, 0));
  while (end > 0) {
    pos = View().substr(0, static_cast<std::size_t>(end)).find(oldText, pos);
    if (pos == std::string_view::npos) return;
    if (!ReplaceRange(static_cast<int>(pos), static_cast<int>(oldText.size()), newText)) return;
    end += static_cast<int>(newText.size()) - static_cast<int>(oldText.size());
    pos += newText.size();
  }
}

void TWriteBuffer::ReplaceChar(char from, char to) {
  std::replace(data_, data_ + length_, from, to);
}

int TWriteBuffer::Compress() {
  int start = std::max(compressMark_, 0);
  if (previousRemaining_ != 0) {
    // The client has part of the first message already: finish it plain.
    const int bar = FindChar('|', start, length_ - 1);
    start = bar < 0 ? length_ : bar + 1;
  }
  const int plain = length_ - start;
  if (plain < kMinimumTail) return 0;

  const std::string_view tail(data_ + start, static_cast<std::size_t>(plain));
  TLastBlock& last = LastBlock();
  if (!last.Valid || last.Plain != tail) {
    last.Valid = false;
    TWriteBuffer& scratch = BufferPools().CompressScratch();
    scratch.Clear(true);
    if (!scratch.ReserveExtra(static_cast<std::size_t>(plain))) return 0;
    const int packed = CompressBlock(tail.data(), plain, scratch.data_, scratch.capacity_);
    last.Packed.clear();
    if (packed >= 0 && packed <= plain - kMinimumGain) {
      last.Packed.assign(scratch.data_, static_cast<std::size_t>(packed));
    }
    scratch.Clear(false);
    if (plain <= kLastBlockLimit) {
      last.Plain.assign(tail);
      last.Valid = true;
    }
  }
  if (last.Packed.empty()) return 0;
  const int packed = static_cast<int>(last.Packed.size());

  // The result can be one byte longer than the original content.
  const int newLength = start + static_cast<int>(kCompressedHeader.size()) + packed;
  if (newLength - length_ >= Room() && !Reserve(static_cast<std::size_t>(newLength - length_), true)) {
    return 0;
  }
  length_ = start;
  AppendString(kCompressedHeader);
  AppendString(last.Packed);
  compressMark_ = length_;
  return packed;
}
