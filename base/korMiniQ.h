// A small growable queue of 64-bit values; the worker pool keeps its task lists in it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

struct TQueueRec {
  std::vector<uint64_t> Q;  // its size is the capacity
  uint32_t NQueued = 0;
  uint64_t CurrentItem = 0;
  uint64_t PrevItem = 0;
  bool Untouched = true;
  uint64_t InitValue = 0;  // returned when nothing is left; fill value of new slots
  uint32_t GrowBy = 1;
};

TQueueRec EmptyQueue();
TQueueRec EmptyTskQueue();
TQueueRec EmptyThdQueue();

void AddToQueue(TQueueRec& q, std::initializer_list<uint64_t> values);
void AddToQueue(TQueueRec& q, uint64_t value);
uint64_t GetNextQueueItem(TQueueRec& q);
uint64_t GetNextQueueItem(TQueueRec& q, uint64_t replacement);
uint64_t GetCurrentQueueItem(const TQueueRec& q);
uint64_t GetNWaitingQueueItems(const TQueueRec& q);
bool QueueStarted(const TQueueRec& q);
// True when no value is left to take (also for an empty queue).
bool QueueExhausted(const TQueueRec& q);
void DestroyQueue(TQueueRec& q);
