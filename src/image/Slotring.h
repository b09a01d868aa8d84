// Hands slots filled on one thread to another, in order, with a fixed number in flight: memory stays
// bounded whatever the length of the work.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>

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
