// The text exchanges with the host: handing texts over and taking returned
// texts through the MBtS retry.
//
// The module trusts the host's answers only as far as its own buffers reach:
// a reported length beyond the buffer is cut to the buffer, and a demand
// beyond kMaxHostTextBytes fails the exchange.
#include "host/host_exchange.h"

#include <cstring>

#include "foundation/codecs.h"

namespace bw {

uint32_t callHost(const ModuleRequest* request, uint32_t code, void* a1, void* a2, void* a3,
                  void* a4, void* a5) {
  // A record without a callback answers every service as failed.
  if (request->hostCallback == nullptr) return MUnF;
  return request->hostCallback(request->hostHandle, code, a1, a2, a3, a4, a5);
}

void TextIn::makePrivateCopy() {
  copy_ = static_cast<unsigned char*>(allocate(count_ + 1));
  std::memcpy(copy_, bytes_, count_);
  copy_[count_] = 0;
  bytes_ = reinterpret_cast<const char*>(copy_);
}

namespace {

// Tells the page author why a value went missing.
void reportOversizedText(const ModuleRequest* request, uint32_t demanded) {
  QelString message("The host offered a text of ");
  message.append(toRadixText(demanded, 10, 1));
  message.append(" bytes; the module accepts at most ");
  message.append(toRadixText(kMaxHostTextBytes, 10, 1));
  message.append(" bytes.");
  QelString hint("Shorten the tag body or the parameter value.");
  TextIn messageIn(message, TextIn::Storage::Shared);
  TextIn hintIn(hint, TextIn::Storage::Shared);
  callHost(request, MSEI, messageIn.bytes(), messageIn.count(), hintIn.bytes(), hintIn.count());
}

}  // namespace

bool fetchLarger(const ModuleRequest* request, uint32_t code, TextIn* name, int32_t* occurrence,
                 uint32_t first, uint32_t demanded, FetchedText& out) {
  if (demanded > kMaxHostTextBytes) {
    reportOversizedText(request, demanded);
    return out.finish(MUnF, out.first_, 0, first);
  }
  // A demand within the first buffer offers that buffer again, cut to it.
  unsigned char* buffer = out.first_;
  if (demanded > first) {
    // A FetchedText used for a second exchange drops the first one's block.
    buffer = static_cast<unsigned char*>(allocate(demanded + 1));
    release(out.larger_);
    out.larger_ = buffer;
  }
  const uint32_t capacity = demanded;
  uint32_t size = capacity;
  const uint32_t answer =
      name != nullptr ? callHost(request, code, name->bytes(), name->count(), buffer, &size, occurrence)
                      : callHost(request, code, buffer, &size, nullptr, nullptr, occurrence);
  return out.finish(answer, buffer, size, capacity);
}

bool fetchText(const ModuleRequest* request, uint32_t code, TextIn* name, int32_t* occurrence,
               QelString& out) {
  FetchedText fetched;
  if (!fetchInto(request, code, name, occurrence, fetched)) return false;
  out.assign(fetched.data(), fetched.size());
  return true;
}

bool fetchBody(const ModuleRequest* request, QelString& out) {
  out.clear();
  uint32_t locked = kFirstBodyBufferSize;
  uint32_t size = locked;
  char* storage = out.lockBuffer(locked);
  uint32_t answer = callHost(request, MTBd, storage, &size);
  if (answer == MBtS) {
    out.unlockBuffer(0);
    if (size > kMaxHostTextBytes) {
      reportOversizedText(request, size);
      return false;
    }
    locked = size;
    storage = out.lockBuffer(locked);
    answer = callHost(request, MTBd, storage, &size);
  }
  if (answer != 0) {
    out.unlockBuffer(0);
    return false;
  }
  out.unlockBuffer(size > locked ? locked : size);
  return true;
}

}  // namespace bw
