// SPDX-License-Identifier: GPL-3.0-or-later
// Hands slots filled on one thread to another, in order, with a fixed number in flight: memory stays
// bounded whatever the length of the work. TRingWorker is the thread that fills them.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

template <class T, std::size_t N>
class TSlotRing
{
public:
    // Producer: the next free slot, or null once the consumer has stopped the ring.
    T* AcquireFree()
    {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return Stopped || Filled < N; });
        return Stopped ? nullptr : &Slots[Head];
    }
    void Publish()
    {
        {
            std::lock_guard lock(Mutex);
            Head = (Head + 1) % N;
            ++Filled;
        }
        Changed.notify_all();
    }
    // Producer: no more slots; error is what ended the work early, if anything.
    void Finish(std::exception_ptr error)
    {
        {
            std::lock_guard lock(Mutex);
            Finished = true;
            Error = std::move(error);
        }
        Changed.notify_all();
    }

    // Consumer: the oldest filled slot, or null when the producer has finished and all are taken.
    T* AcquireFull()
    {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return Finished || Filled > 0; });
        return Filled > 0 ? &Slots[Tail] : nullptr;
    }
    void Release()
    {
        {
            std::lock_guard lock(Mutex);
            Tail = (Tail + 1) % N;
            --Filled;
        }
        Changed.notify_all();
    }
    // Consumer: the producer is to stop at its next slot.
    void Stop()
    {
        {
            std::lock_guard lock(Mutex);
            Stopped = true;
        }
        Changed.notify_all();
    }
    // What ended the producer's work early, once it has finished.
    std::exception_ptr FinishError()
    {
        std::lock_guard lock(Mutex);
        return Error;
    }

private:
    std::mutex Mutex;
    std::condition_variable Changed;
    std::array<T, N> Slots;
    std::size_t Head = 0;
    std::size_t Tail = 0;
    std::size_t Filled = 0;
    bool Finished = false;
    bool Stopped = false;
    std::exception_ptr Error;
};

// A thread that fills a ring's slots while its owner takes them in order. Produce gets the ring and
// publishes slots until it is done or AcquireFree answers null; what it throws reaches the owner
// once the slots published before are taken. Stopping the ring and joining on every way out keeps
// what Produce uses alive for as long as it works: declare that before the worker.
template <class T, std::size_t N>
class TRingWorker
{
public:
    template <class TProduce>
    explicit TRingWorker(TProduce produce)
        : Thread([this, produce = std::move(produce)]() mutable {
              std::exception_ptr error;
              try
              {
                  produce(Ring);
              }
              catch (...)
              {
                  error = std::current_exception();
              }
              Ring.Finish(error);
          })
    {}
    ~TRingWorker() { Join(); }
    TRingWorker(const TRingWorker&) = delete;
    TRingWorker& operator=(const TRingWorker&) = delete;

    // The next slot in order, or null at the end; rethrows what ended the producer early.
    T* Next()
    {
        T* slot = Ring.AcquireFull();
        if (!slot)
        {
            if (const std::exception_ptr error = Ring.FinishError())
                std::rethrow_exception(error);
        }
        return slot;
    }
    void Release() { Ring.Release(); }
    // Stops the producer at its next slot and waits for it.
    void Join()
    {
        if (!Thread.joinable())
            return;
        Ring.Stop();
        Thread.join();
    }

private:
    TSlotRing<T, N> Ring; // before Thread: the thread uses it from its first instruction
    std::thread Thread;
};
