#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>

#include "core/shared_block.h"

class TWriteBuffer;

// Where a broadcast goes once for many buffers: a growing block per
// channel, each broadcast appended behind the last. A buffer whose queue
// ends where the run ended extends its queued part instead of taking a new
// one, so a client that falls behind holds one piece per run, not one copy
// per broadcast. Channels separate the viewers whose texts may differ
// (operators, NoHello, ...): a viewer that always reads from the same
// channel finds its next broadcast right behind its last. Main thread only.
class TSharedRuns {
 public:
  static constexpr int kChannels = 8;
  // Room of a run; longer texts get a block of their own.
  static constexpr std::size_t kRunSize = 65536;

  struct TPiece {
    std::shared_ptr<const TSharedBlock> block;
    int offset = 0;
    int length = 0;
  };

  // Appends `text` to the run of `channel`, opening a new run when it does
  // not fit.
  TPiece Put(int channel, std::string_view text);
  // Runs opened since construction (tests and the benchmark's notes).
  std::size_t RunsMade() const { return made_; }

 private:
  std::array<std::shared_ptr<TSharedBlock>, kChannels> runs_;
  std::size_t made_ = 0;
};

// One broadcast text for many buffers, put into a channel's run the first
// time a viewer of that channel receives it. A text that does not end a
// message is copied into each buffer instead, as a piece of a queue must be
// whole messages.
class TSharedBroadcast {
 public:
  TSharedBroadcast(TSharedRuns& runs, std::string_view text);
  // A broadcast whose text depends on the channel, given to To below.
  explicit TSharedBroadcast(TSharedRuns& runs) : runs_(runs), whole_(true) {}
  void To(TWriteBuffer& out, int channel);
  // `make()` gives the channel's text (whole messages) the first time the
  // channel is met.
  template <class Make>
  void To(TWriteBuffer& out, int channel, Make&& make) {
    TSharedRuns::TPiece& piece = pieces_[static_cast<std::size_t>(channel)];
    if (!piece.block) piece = runs_.Put(channel, make());
    Queue(out, piece);
  }

 private:
  static void Queue(TWriteBuffer& out, const TSharedRuns::TPiece& piece);

  TSharedRuns& runs_;
  std::string_view text_;
  bool whole_;
  std::array<TSharedRuns::TPiece, TSharedRuns::kChannels> pieces_;
};
