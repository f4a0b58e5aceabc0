#include "core/shared_run.h"

#include <string>

#include "base/exceptions.h"
#include "core/write_buffer.h"

TSharedRuns::TPiece TSharedRuns::Put(int channel, std::string_view text) {
  KAVRO_CHECK(channel >= 0 && channel < kChannels, "TSharedRuns.Put: bad channel");
  TPiece piece;
  if (text.size() > kRunSize / 4) {
    piece.block = std::make_shared<const TSharedBlock>(std::string(text));
    piece.length = piece.block->Size();
    return piece;
  }
  std::shared_ptr<TSharedBlock>& run = runs_[static_cast<std::size_t>(channel)];
  // The old run lives on in the queues that hold a part of it.
  if (!run || run->Room() < text.size()) {
    run = std::make_shared<TSharedBlock>(TSharedBlock::TGrowing{}, kRunSize);
    ++made_;
  }
  piece.offset = run->Size();
  run->Append(text);
  piece.length = static_cast<int>(text.size());
  piece.block = run;
  return piece;
}

TSharedBroadcast::TSharedBroadcast(TSharedRuns& runs, std::string_view text)
    : runs_(runs), text_(text), whole_(!text.empty() && text.back() == '|') {}

void TSharedBroadcast::To(TWriteBuffer& out, int channel) {
  if (!whole_) {
    out.AppendString(text_);
    return;
  }
  To(out, channel, [this] { return text_; });
}

void TSharedBroadcast::Queue(TWriteBuffer& out, const TSharedRuns::TPiece& piece) {
  out.AppendBroadcast(piece.block, piece.offset, piece.length);
}
