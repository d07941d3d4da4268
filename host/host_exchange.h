// The two directions a text travels between the module and its host.
//
// Texts handed to the host go as a pointer to terminated bytes and a pointer
// to a 32-bit count (TextIn).  Texts the host returns go into a buffer the
// module offers; when it is too small the host answers MBtS with the size it
// needs and the module asks exactly once more (fetchText, fetchBody).  Every
// host call of the module goes through callHost, so a host is always called
// with its own handle.
#ifndef BRINDLEWORK_HOST_HOST_EXCHANGE_H
#define BRINDLEWORK_HOST_HOST_EXCHANGE_H

#include <cstdint>

#include "brindlework/module.h"
#include "foundation/object.h"
#include "foundation/qel_string.h"

namespace bw {

// First buffer offered for a returned value, and for a tag body.
constexpr uint32_t kFirstValueBufferSize = 32;
constexpr uint32_t kFirstBodyBufferSize = 63;

// The largest text the module accepts from the host in one exchange.  A
// larger demand is answered as a failed exchange (the value is absent) and
// reported to the page author, instead of growing a buffer without bound.
constexpr uint32_t kMaxHostTextBytes = 1u << 30;

uint32_t callHost(const ModuleRequest* request, uint32_t code, void* a1 = nullptr,
                  void* a2 = nullptr, void* a3 = nullptr, void* a4 = nullptr,
                  void* a5 = nullptr);

// A text ready to be handed to the host.
class TextIn {
 public:
  enum class Storage {
    Shared,       // the string's own terminated storage
    PrivateCopy,  // a terminated copy in a scratch buffer of length + 1 bytes
  };
  enum class Count {
    WithTerminator,  // length + 1: every code but MWtS
    ExactLength,     // length: MWtS
  };

  // A shared text is handed over in place: the string must outlive the
  // TextIn and stay unchanged while the host holds it, which a local
  // TextIn around one host call gives.
  TextIn(const QelString& text, Storage storage, Count count = Count::WithTerminator)
      : bytes_(text.cString()), count_(text.length()) {
    if (storage == Storage::PrivateCopy) makePrivateCopy();
    if (count == Count::WithTerminator) ++count_;
  }
  ~TextIn() {
    if (copy_ != nullptr) release(copy_);
  }
  // Terminated bytes handed over in place (Shared, WithTerminator).
  TextIn(const char* terminatedBytes, uint32_t length) : bytes_(terminatedBytes), count_(length + 1) {}
  TextIn(const TextIn&) = delete;
  TextIn& operator=(const TextIn&) = delete;

  void* bytes() const { return const_cast<char*>(bytes_); }
  void* count() { return &count_; }

 private:
  void makePrivateCopy();  // bytes_ and count_ then describe the copy

  const char* bytes_;
  uint32_t count_;
  unsigned char* copy_ = nullptr;  // from allocate, when a private copy was asked for
};

// A text the host returned, held in the exchange's own buffer: on the stack
// when it fits the first buffer, otherwise in a block of the size the host
// asked for.  Always terminated, so it can be handed back to the host as it
// is.  For values the module only reads (a tag name it looks up, a flag, a
// number), this spares the string a fetchText would make.
class FetchedText {
 public:
  FetchedText() { first_[0] = 0; }
  ~FetchedText() {
    if (larger_ != nullptr) release(larger_);
  }
  FetchedText(const FetchedText&) = delete;
  FetchedText& operator=(const FetchedText&) = delete;
  const char* data() const { return reinterpret_cast<const char*>(bytes_); }
  uint32_t size() const { return size_; }

 private:
  friend bool fetchInto(const ModuleRequest*, uint32_t, TextIn*, int32_t*, FetchedText&);
  friend bool fetchLarger(const ModuleRequest*, uint32_t, TextIn*, int32_t*, uint32_t, uint32_t,
                          FetchedText&);
  // Ends the exchange with size bytes at buffer (cut to capacity).
  bool finish(uint32_t answer, unsigned char* buffer, uint32_t size, uint32_t capacity) {
    if (answer != 0) size = 0;
    if (size > capacity) size = capacity;
    bytes_ = buffer;
    size_ = size;
    buffer[size] = 0;
    return answer == 0;
  }

  // Room for the first buffer of any code: a body's is the largest.
  unsigned char first_[kFirstBodyBufferSize + 1];
  unsigned char* larger_ = nullptr;  // from allocate, for a value past the first buffer
  unsigned char* bytes_ = first_;
  uint32_t size_ = 0;
};

// The second round of an exchange the host answered with MBtS and the size
// it needs, after a first buffer of `first` bytes (out of line: most values
// fit the first buffer).
bool fetchLarger(const ModuleRequest* request, uint32_t code, TextIn* name, int32_t* occurrence,
                 uint32_t first, uint32_t demanded, FetchedText& out);

// The MBtS exchange into a FetchedText; see fetchText.  A failed exchange
// leaves it empty.  The first buffer offered is a body's size for MTBd and
// a value's for every other code.  Inline: every parameter, tag name and
// region property a tag call reads goes through here, and the first round
// is all most of them need.
inline bool fetchInto(const ModuleRequest* request, uint32_t code, TextIn* name,
                      int32_t* occurrence, FetchedText& out) {
  const uint32_t first = code == MTBd ? kFirstBodyBufferSize : kFirstValueBufferSize;
  unsigned char* buffer = out.first_;
  uint32_t size = first;
  const uint32_t answer =
      name != nullptr ? callHost(request, code, name->bytes(), name->count(), buffer, &size, occurrence)
                      : callHost(request, code, buffer, &size, nullptr, nullptr, occurrence);
  if (answer == MBtS) return fetchLarger(request, code, name, occurrence, first, size, out);
  return out.finish(answer, buffer, size, first);
}

// The tag's body into a FetchedText, for a body the handler only reads (the
// same exchange as fetchBody).  A failed exchange leaves it empty.
inline bool fetchBodyInto(const ModuleRequest* request, FetchedText& out) {
  return fetchInto(request, MTBd, nullptr, nullptr, out);
}

// Runs the MBtS exchange for code.  With name, it travels in a1/a2 and the
// buffer in a3/a4; without, the buffer is a1/a2.  occurrence, if given, is
// a5.  True when the host's final answer was 0; out is then the returned
// bytes, and is left unchanged otherwise.
bool fetchText(const ModuleRequest* request, uint32_t code, TextIn* name, int32_t* occurrence,
               QelString& out);

// The MTBd exchange, run on the storage of out itself.  A failed exchange
// leaves out empty.
bool fetchBody(const ModuleRequest* request, QelString& out);

}  // namespace bw

#endif
