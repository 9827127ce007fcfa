// The small growable queue of 64-bit values.
#include "base/korMiniQ.h"

TQueueRec EmptyQueue() { return TQueueRec{}; }

TQueueRec EmptyTskQueue() {
  TQueueRec q;
  q.GrowBy = 64;
  return q;
}

TQueueRec EmptyThdQueue() {
  TQueueRec q;
  q.InitValue = ~uint64_t(0);
  q.GrowBy = 16;
  return q;
}

namespace {
void Reserve(TQueueRec& q, uint64_t need) {
  if (q.Q.size() >= need) return;
  const uint64_t step = q.GrowBy ? q.GrowBy : 1;
  const uint64_t cap = (need / step + 1) * step;
  q.Q.resize(cap, q.InitValue);
}
}  // namespace

void AddToQueue(TQueueRec& q, std::initializer_list<uint64_t> values) {
  Reserve(q, uint64_t(q.NQueued) + values.size());
  for (uint64_t v : values) q.Q[q.NQueued++] = v;
}

void AddToQueue(TQueueRec& q, uint64_t value) { AddToQueue(q, {value}); }

uint64_t GetNextQueueItem(TQueueRec& q) {
  if (q.Untouched) {
    if (q.NQueued == 0) return q.InitValue;
    q.Untouched = false;
    q.CurrentItem = 0;
    q.PrevItem = 0;
    return q.Q[0];
  }
  if (q.CurrentItem + 1 >= q.NQueued) {
    // Nothing left: stay past the end so the queue reads as exhausted.
    q.PrevItem = q.CurrentItem;
    if (q.CurrentItem < q.NQueued) q.CurrentItem = q.NQueued;
    return q.InitValue;
  }
  q.PrevItem = q.CurrentItem;
  ++q.CurrentItem;
  return q.Q[q.CurrentItem];
}

uint64_t GetNextQueueItem(TQueueRec& q, uint64_t replacement) {
  const bool wasUntouched = q.Untouched;
  const uint64_t before = q.CurrentItem;
  const uint64_t v = GetNextQueueItem(q);
  const bool took = (wasUntouched && !q.Untouched) ||
                    (!wasUntouched && q.CurrentItem == before + 1 && q.CurrentItem < q.NQueued);
  if (took) q.Q[q.CurrentItem] = replacement;
  return v;
}

uint64_t GetCurrentQueueItem(const TQueueRec& q) {
  if (q.Untouched || q.CurrentItem >= q.NQueued) return q.InitValue;
  return q.Q[q.CurrentItem];
}

uint64_t GetNWaitingQueueItems(const TQueueRec& q) {
  if (q.Untouched) return q.NQueued;
  return q.CurrentItem + 1 < q.NQueued ? q.NQueued - q.CurrentItem - 1 : 0;
}

bool QueueStarted(const TQueueRec& q) { return !q.Untouched; }

bool QueueExhausted(const TQueueRec& q) { return GetNWaitingQueueItems(q) == 0; }

void DestroyQueue(TQueueRec& q) { q = EmptyQueue(); }
