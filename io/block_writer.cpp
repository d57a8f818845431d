#include "io/block_writer.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace dozu {

namespace {

// Blocks that wait to be written, or are being made, per helper thread.
constexpr size_t kSlotsPerThread = 2;
constexpr unsigned kMaxThreads = 4;

struct Slot {
    std::unique_ptr<char[]> text;
    size_t size = 0;
    size_t block = 0;
    bool ready = false;
};

}  // namespace

void write_blocks(ByteSink& sink, size_t count, size_t capacity,
                  const std::function<size_t(size_t block, char* out)>& make) {
    const unsigned threads = std::min({std::max(1u, std::thread::hardware_concurrency()), kMaxThreads,
                                       unsigned(std::min<size_t>(count, kMaxThreads))});
    if (threads <= 1) {
        const auto text = std::make_unique_for_overwrite<char[]>(capacity);
        for (size_t b = 0; b < count; ++b) sink.write(text.get(), make(b, text.get()));
        return;
    }

    std::vector<Slot> slots(threads * kSlotsPerThread);
    for (Slot& s : slots) s.text = std::make_unique_for_overwrite<char[]>(capacity);
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0;     // the next block to make
    size_t written = 0;  // blocks written so far
    bool failed = false, stop = false;

    auto helper = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            // A block goes into the slot of the block written slots.size()
            // earlier, once that one is out.
            changed.wait(lock, [&] { return stop || next >= count || next < written + slots.size(); });
            if (stop || next >= count) return;
            const size_t block = next++;
            Slot& slot = slots[block % slots.size()];
            lock.unlock();
            size_t size = 0;
            bool ok = true;
            try {
                size = make(block, slot.text.get());
            } catch (...) {
                ok = false;
            }
            lock.lock();
            slot.block = block;
            slot.size = size;
            slot.ready = ok;
            failed = failed || !ok;
            changed.notify_all();
        }
    };

    // Whatever happens on this thread, the helpers stop and are joined.
    struct Helpers {
        std::vector<std::thread> threads;
        std::mutex& mutex;
        std::condition_variable& changed;
        bool& stop;
        ~Helpers() {
            {
                std::lock_guard<std::mutex> lock(mutex);
                stop = true;
            }
            changed.notify_all();
            for (std::thread& t : threads) t.join();
        }
    } helpers{{}, mutex, changed, stop};
    for (unsigned i = 0; i < threads; ++i) helpers.threads.emplace_back(helper);

    for (size_t b = 0; b < count; ++b) {
        Slot& slot = slots[b % slots.size()];
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return failed || (slot.ready && slot.block == b); });
            if (failed) throw std::bad_alloc();
        }
        sink.write(slot.text.get(), slot.size);
        {
            std::lock_guard<std::mutex> lock(mutex);
            slot.ready = false;
            ++written;
        }
        changed.notify_all();
    }
}

}  // namespace dozu
