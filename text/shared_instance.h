// Race-free creation of a process-wide instance on first request.
#pragma once

#include <atomic>

namespace gridport {

// Returns the instance held in slot, creating a TInstance when the slot is
// empty. A new instance is published only into an empty slot (atomic
// compare-and-exchange); a thread that loses the race destroys its own
// instance and returns the winner's, so every caller sees one instance.
template <typename TBase, typename TInstance>
const TBase* PublishOnce(std::atomic<const TBase*>& slot) {
  const TBase* current = slot.load(std::memory_order_acquire);
  if (current != nullptr) return current;
  const TBase* fresh = new TInstance();
  const TBase* expected = nullptr;
  if (slot.compare_exchange_strong(expected, fresh, std::memory_order_acq_rel,
                                   std::memory_order_acquire))
    return fresh;
  delete fresh;
  return expected;
}

}  // namespace gridport
