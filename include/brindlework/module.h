/*
 * The one public header of the Brindlework tag module.
 *
 * A host page engine loads the module, fills a ModuleRequest and calls
 * ProcessQELRequest with it; while the call runs, the module asks the host for
 * everything it needs through the record's hostCallback.  This header is all a
 * host needs: the record, the callback type, every four-character code of the
 * protocol and the exported function.  It is plain C and usable from C++.
 *
 * Calling convention: on 32-bit Windows every function here is __cdecl (the
 * caller cleans the stack) and ProcessQELRequest is exported undecorated.
 *
 * Threads.  The module starts no threads and takes no locks; each call runs
 * to completion on the calling thread and makes every callback from inside
 * it, on that thread.  Once the first MIni has returned, the host may call
 * ProcessQELRequest from several threads at once:
 *   - each call's objects (its texts, numbers, compiled patterns, output)
 *     are its own, made and released within the call on the calling thread,
 *     so every block the call takes from hostAllocate goes back through
 *     hostRelease before it returns, on the same thread;
 *   - what the calls share (the module's constant tables, the shared empty
 *     text, the two allocator slots) is never written by a tag, properties
 *     or termination request: the shared texts are not reference-counted
 *     while calls run, and the allocator slots are read atomically;
 *   - a later MIni may run alongside other calls when it hands over the same
 *     two allocator functions; changing the allocator while calls run is not
 *     supported (a block must go back to the heap that gave it).
 * The host's own side must then be safe for concurrent use as well:
 * hostAllocate and hostRelease are called from every calling thread, and
 * hostCallback is called on each call's thread with that call's hostHandle.
 * Before the first MIni has returned, calls must not overlap.  A host that
 * calls from one thread only sees no difference.
 */
#ifndef BRINDLEWORK_MODULE_H
#define BRINDLEWORK_MODULE_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define BW_CALL __cdecl
#else
#define BW_CALL
#endif

#if defined(_WIN32)
#define BW_EXPORT __declspec(dllexport)
#else
#define BW_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Builds a four-character code: the first letter is the most significant byte. */
#define BW_FOURCC(a, b, c, d) \
  ((uint32_t)(((uint32_t)(a) << 24) | ((uint32_t)(b) << 16) | ((uint32_t)(c) << 8) | (uint32_t)(d)))

/* Selectors the host sends to ProcessQELRequest. */
#define MIni 0x4D496E69u /* initialise: install the allocator, register the module and its tags */
#define MTag 0x4D546167u /* process one tag (also: service asking for the current tag's name) */
#define MGPr 0x4D475072u /* render the properties page (also: service reading a region property) */
#define MSPr 0x4D535072u /* store the properties page (also: service storing a region property) */
#define MTrm 0x4D54726Du /* terminate: nothing is released, the answer is 0 */
#define MAct 0x4D416374u /* not supported by this module: answered with MUnF */

/* Services the module asks of the host through hostCallback. */
#define MRMN 0x4D524D4Eu /* register the module's display name: a1,a2 = text, count */
#define MRMV 0x4D524D56u /* register the module's version */
#define MRMA 0x4D524D41u /* register the company */
#define MRVt 0x4D525674u /* register the version-tracker URL */
#define MRfT 0x4D526654u /* register one tag: a1,a2 = name; a5 = pointer to its 32-bit flags */
#define MTPm 0x4D54506Du /* a parameter: a1,a2 = name; a3,a4 = buffer, size; a5 = pointer to occurrence */
#define MTBd 0x4D544264u /* the current tag's body: a1,a2 = buffer, size */
#define MFAr 0x4D464172u /* a submitted form argument: like MTPm */
#define MRPr 0x4D525072u /* remove a region property: a1,a2 = name */
#define MSPV 0x4D535056u /* set a page variable: a1,a2 = name; a3,a4 = value */
#define MSEI 0x4D534549u /* report an error: a1,a2 = message; a3,a4 = hint */
#define MWtS 0x4D577453u /* hand over output: a1 = bytes, a2 = count without terminator */
#define MYld 0x4D596C64u /* yield to the host during a long loop */

/* Result of a service: the module's buffer is too small; the size now holds what is needed. */
#define MBtS 0x4D427453u

/* Results of ProcessQELRequest (0 is success). */
#define MUnk 0x4D556E6Bu /* a registration failed at MIni, or the module ran out of memory */
#define MUnF 0x4D556E46u /* the selector is not supported */
#define MMRP 0x4D4D5250u /* a required tag parameter is missing */
#define MInv 0x4D496E76u /* qelIf was given an order it does not know */
#define MIPV 0x4D495056u /* a parameter value is out of range or not a number, or solving failed */
#define MVEB 0x4D564542u /* a loop produced more output than allowed */
#define MIFt 0x4D494674u /* an equation is improperly formatted */
#define MOpF 0x4D4F7046u /* a regular expression failed to compile */

/* Registration flags a tag is registered with. */
#define BW_TAG_RAW_BODY 0x02u    /* the body still holds tags; the host processes the returned text */
#define BW_TAG_HAS_BODY 0x10u    /* the tag has an end tag and a body */
#define BW_TAG_NO_BODY 0x20u     /* the tag stands alone */

/*
 * The host's one callback.  Texts handed to the host travel as (bytes, pointer
 * to count); the count includes the terminating 0 byte for every code except
 * MWtS.  Texts returned by the host travel as (buffer, pointer to size): the
 * host copies the text and stores its length, or answers MBtS and stores the
 * size it needs.  The result is 0 for success.
 */
typedef uint32_t(BW_CALL *HostServices)(uint32_t hostHandle, uint32_t code, void *a1, void *a2,
                                        void *a3, void *a4, void *a5);

/* The host's allocator, read only at MIni. */
typedef void *(BW_CALL *HostAllocateFn)(uint32_t byteCount);
typedef void(BW_CALL *HostReleaseFn)(void *block);

/*
 * The record the host passes on every call.  On 32-bit targets its layout is
 * fixed: offsets 0, 8, 12, 16, 20, 24, 28 and size 32.  On 64-bit targets it
 * is the natural layout of the same fields with 8-byte pointers: offsets 0, 8,
 * 12, 16, 24, 32, 40 and size 48.  The module never writes to it.
 */
typedef struct ModuleRequest {
  uint8_t reserved0[8];       /* not interpreted */
  uint32_t hostHandle;        /* passed back as the first argument of every callback */
  uint32_t selector;          /* the request's four-character code */
  HostServices hostCallback;  /* the host's services */
  uint32_t reserved1;         /* not interpreted */
  HostAllocateFn hostAllocate;
  HostReleaseFn hostRelease;
} ModuleRequest;

#if defined(__cplusplus)
#define BW_STATIC_ASSERT static_assert
#else
#define BW_STATIC_ASSERT _Static_assert
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
BW_STATIC_ASSERT(offsetof(ModuleRequest, hostHandle) == 8, "hostHandle at 8");
BW_STATIC_ASSERT(offsetof(ModuleRequest, selector) == 12, "selector at 12");
BW_STATIC_ASSERT(offsetof(ModuleRequest, hostCallback) == 16, "hostCallback at 16");
BW_STATIC_ASSERT(offsetof(ModuleRequest, reserved1) == 20, "reserved at 20");
BW_STATIC_ASSERT(offsetof(ModuleRequest, hostAllocate) == 24, "hostAllocate at 24");
BW_STATIC_ASSERT(offsetof(ModuleRequest, hostRelease) == 28, "hostRelease at 28");
BW_STATIC_ASSERT(sizeof(ModuleRequest) == 32, "record is 32 bytes");
#else
BW_STATIC_ASSERT(offsetof(ModuleRequest, hostHandle) == 8, "hostHandle at 8");
BW_STATIC_ASSERT(offsetof(ModuleRequest, selector) == 12, "selector at 12");
BW_STATIC_ASSERT(offsetof(ModuleRequest, hostCallback) == 16, "hostCallback at 16");
BW_STATIC_ASSERT(offsetof(ModuleRequest, reserved1) == 24, "reserved at 24");
BW_STATIC_ASSERT(offsetof(ModuleRequest, hostAllocate) == 32, "hostAllocate at 32");
BW_STATIC_ASSERT(offsetof(ModuleRequest, hostRelease) == 40, "hostRelease at 40");
BW_STATIC_ASSERT(sizeof(ModuleRequest) == 48, "record is 48 bytes");
#endif

/*
 * The module's one export.  A null record is answered with MUnF, and a record
 * without a callback is served as though every service failed.  No exception
 * leaves it: when memory runs out the request is abandoned, everything it
 * took is released, nothing more is sent to the host and the answer is MUnk.
 */
BW_EXPORT uint32_t BW_CALL ProcessQELRequest(ModuleRequest *request);

#ifdef __cplusplus
}
#endif

#endif /* BRINDLEWORK_MODULE_H */
