#pragma once
// Marks for ThreadSanitizer where data passes from one thread to another through
// synchronisation it cannot see: the lock of Qt's event queue, and a lock taken by code that Qt
// Core (not built with ThreadSanitizer) calls back into, which it does not always record. Empty
// in every other build.
//   ORV_HANDED_OVER(addr)   after the last write the other thread is to see (release)
//   ORV_TAKEN_OVER(addr)    before the first read of what the other thread wrote (acquire)
//   ORV_UNRECORDED_WRITES_BEGIN() / _END()   around writes the receiving side orders itself

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
extern "C" void AnnotateIgnoreWritesBegin(const char* file, int line);
extern "C" void AnnotateIgnoreWritesEnd(const char* file, int line);
#define ORV_HANDED_OVER(addr) __tsan_release(const_cast<void*>(static_cast<const void*>(addr)))
#define ORV_TAKEN_OVER(addr) __tsan_acquire(const_cast<void*>(static_cast<const void*>(addr)))
#define ORV_UNRECORDED_WRITES_BEGIN() AnnotateIgnoreWritesBegin(__FILE__, __LINE__)
#define ORV_UNRECORDED_WRITES_END() AnnotateIgnoreWritesEnd(__FILE__, __LINE__)
#else
#define ORV_HANDED_OVER(addr) static_cast<void>(addr)
#define ORV_TAKEN_OVER(addr) static_cast<void>(addr)
#define ORV_UNRECORDED_WRITES_BEGIN() static_cast<void>(0)
#define ORV_UNRECORDED_WRITES_END() static_cast<void>(0)
#endif
