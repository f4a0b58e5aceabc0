#pragma once

#include <array>
#include <cstdint>

// Outcomes of one connection's send attempt in a send pass.
enum TSendOutcome : std::uint8_t {
  soEmptied = 0,      // the buffer was emptied, or was empty
  soRemaining = 1,    // bytes remain queued
  soNotWritable = 2,  // the socket was not writable, or would block
  soNoBuffers = 3,    // the system ran out of socket buffer space
  soClosed = 4,       // the connection was closed or dropped
};

// A byte rate over fixed 20-second windows: the rate shown is the previous
// complete window's average.
class TByteRate {
 public:
  static constexpr std::uint64_t kWindowMs = 20'000;

  explicit TByteRate(std::uint64_t startMs) : windowStart_(startMs) {}

  // Adds to the running window, or, once it is 20 seconds old, closes it
  // into the rate and starts a new window holding these bytes.
  void Add(std::uint64_t bytes, std::uint64_t nowMs);
  std::uint64_t BytesPerSecond() const { return rate_; }

 private:
  std::uint64_t windowStart_;
  std::uint64_t windowBytes_ = 0;
  std::uint64_t rate_ = 0;
};

// Judges the hub's own network link from the outcomes of the last send
// pass, and measures the hub's send and receive rates. Owned by the hub
// core; the accept handler refuses new connections while the link looks
// bad. Main thread only.
class TSendResult {
 public:
  // Rate windows start now (hub clock), or at `startMs`.
  TSendResult();
  explicit TSendResult(std::uint64_t startMs);

  void ResetOutcomes() { outcomes_.fill(0); }
  // Outcomes 0..4; the top bit of the byte is ignored, and any other value
  // is not counted.
  void RecordOutcome(std::uint8_t outcome);
  std::uint64_t Outcome(TSendOutcome outcome) const { return outcomes_[outcome]; }
  std::uint64_t Total() const;

  // More than 2% of the sends found no buffer space, or, over at least 201
  // sends, more than 40% found the socket not writable.
  bool IsBadLink() const;

  // End of each send pass / read pass.
  void AddSent(std::uint64_t bytes);
  void AddSent(std::uint64_t bytes, std::uint64_t nowMs) { sending_.Add(bytes, nowMs); }
  void AddReceived(std::uint64_t bytes);
  void AddReceived(std::uint64_t bytes, std::uint64_t nowMs) { receiving_.Add(bytes, nowMs); }

  // Bytes per second of the last complete window.
  std::uint64_t Sending() const { return sending_.BytesPerSecond(); }
  std::uint64_t Recieving() const { return receiving_.BytesPerSecond(); }

 private:
  std::array<std::uint64_t, 5> outcomes_{};
  TByteRate sending_;
  TByteRate receiving_;
};
