#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "latency_stats.h"
#include "marker.h"

// What the load generator sent and who received it: for every message its
// send time and the users that must get it, so that delays, losses and
// duplicates come out per kind. Owns its records; users are indexes.
class TDeliveryLedger {
 public:
  // Kinds as reported; connection requests carry no marker of their own.
  enum TKind : int { kChat, kPrivate, kActiveSearch, kPassiveSearch, kResult, kConnect, kKinds };
  static const char* KindName(int kind);
  static TKind KindOf(TMarkerKind marker);

  static constexpr std::uint32_t kNobody = UINT32_MAX;

  explicit TDeliveryLedger(std::uint32_t users);

  std::uint32_t NextSeq() { return ++lastSeq_; }
  // `expected` holds one flag per user (the senders' view of who is online).
  // `joining` flags the users whose login is still under way: whether the
  // hub handles the message before or after it finishes that login decides
  // whether they get a copy, so they are not owed it, nor is a copy extra.
  void SentBroadcast(TKind kind, std::uint32_t seq, std::uint32_t sender, std::uint64_t sentUs,
                     const std::vector<bool>& expected, const std::vector<bool>& joining,
                     std::uint32_t answerer);
  void SentDirect(TKind kind, std::uint32_t seq, std::uint32_t sender, std::uint32_t target,
                  std::uint64_t sentUs);
  // Connection requests are keyed by their sender and port.
  void SentConnect(std::uint32_t sender, std::uint16_t port, std::uint32_t target,
                   std::uint64_t sentUs);

  // Returns the user chosen to answer a search when `receiver` is that user
  // and this is its first copy; kNobody otherwise.
  std::uint32_t Delivered(TMarker marker, std::uint32_t receiver, std::uint64_t nowUs);
  void DeliveredConnect(std::uint32_t sender, std::uint16_t port, std::uint32_t receiver,
                        std::uint64_t nowUs);
  // A user that leaves is no longer owed the messages it has not received.
  void UserLeft(std::uint32_t user);
  // The sender of a search, for its answer.
  std::uint32_t SenderOf(std::uint32_t seq) const;

  // Messages still owed to someone.
  std::size_t Open() const { return open_.size(); }

  struct TSummary {
    std::uint64_t Sent = 0;
    std::uint64_t Expected = 0;
    std::uint64_t Delivered = 0;  // to expected receivers, first copies
    std::uint64_t Lost = 0;
    std::uint64_t Duplicates = 0;
    std::uint64_t Extra = 0;  // copies to users the sender did not count
    std::uint64_t Joining = 0;  // copies to users joining when it was sent
    std::uint64_t P50Us = 0, P99Us = 0, MaxUs = 0;
    // Per message, the delay to its last expected receiver.
    std::uint64_t LastP50Us = 0, LastMaxUs = 0;
  };
  // Closes the books: what is still open counts as lost.
  std::array<TSummary, kKinds> Summarise();

 private:
  struct TRecord {
    TKind Kind = kChat;
    std::uint32_t Sender = kNobody;
    std::uint32_t Target = kNobody;  // kNobody for broadcasts
    std::uint32_t Answerer = kNobody;
    std::uint64_t SentUs = 0;
    std::uint32_t Expected = 0;
    std::uint32_t Got = 0;
    std::uint64_t LastUs = 0;
    std::vector<bool> ExpectedBy;  // broadcasts only
    std::vector<bool> JoiningBy;   // broadcasts only
    std::vector<bool> ReceivedBy;
    bool TargetGot = false;
  };

  static TRecord MakeRecord(TKind kind, std::uint32_t sender, std::uint32_t target,
                            std::uint32_t answerer, std::uint64_t sentUs);
  TRecord* Find(std::uint32_t seq);
  void Receive(std::uint64_t key, TRecord& r, std::uint32_t receiver, std::uint64_t nowUs);
  void Close(std::uint64_t key);

  std::uint32_t users_;
  std::uint32_t lastSeq_ = 0;
  std::unordered_map<std::uint64_t, TRecord> records_;  // seq, or connect key
  std::unordered_map<std::uint64_t, bool> open_;        // keys still owed
  std::array<TSummary, kKinds> totals_{};
  std::array<TLatencyStats, kKinds> delays_;
  std::array<std::vector<std::uint64_t>, kKinds> lastDelays_;
};
