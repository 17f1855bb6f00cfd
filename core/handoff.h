// Hand-overs between threads that go through Qt's own synchronisation (a
// thread pool's queue, a future's result, a queued call): Qt's libraries are
// not built for ThreadSanitizer, so it cannot see those locks. The thread that
// gives data away calls handOff(token) after its last write; the thread that
// takes it calls takeOver(token) before its first read, with the same token
// (any address both sides know). Outside a ThreadSanitizer build both do
// nothing.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define QUORIN_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUORIN_TSAN 1
#endif
#endif

#ifdef QUORIN_TSAN
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#endif

namespace core {

inline void handOff([[maybe_unused]] const void *token)
{
#ifdef QUORIN_TSAN
    __tsan_release(const_cast<void *>(token));
#endif
}

inline void takeOver([[maybe_unused]] const void *token)
{
#ifdef QUORIN_TSAN
    __tsan_acquire(const_cast<void *>(token));
#endif
}

// One token for jobs handed to a thread pool: the job's first step, before it
// reads anything it was given (its own captures included), is
// takeOverInPool(); the thread that starts it calls handOffToPool() first.
inline char poolToken;
inline void handOffToPool()
{
    handOff(&poolToken);
}
inline void takeOverInPool()
{
    takeOver(&poolToken);
}

} // namespace core
