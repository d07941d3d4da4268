// The handler of qelLoop: repeats the body once per index value.
//
// A numeric range runs one iteration per call and hands its state on in a
// continuation tag, so the host regains control between iterations and the
// loop's memory does not grow with its length.  Items and lists run whole in
// one call.  A running total of body bytes, carried in the continuation tag,
// bounds what a numeric loop can produce; the copies an item or list loop
// makes in its one call are held to the same limit.
#include "decimal/big_decimal.h"
#include "foundation/codecs.h"
#include "foundation/name_key.h"
#include "foundation/split_list.h"
#include "host/numeric_parameters.h"
#include "host/parameters.h"
#include "host/tag_handlers.h"
#include "tags/loop_body.h"
#include "tags/loop_continuation.h"

namespace bw {

namespace {

const NameKey kTotalSize("totalSize");
const NameKey kIndexName("indexName");
const NameKey kFirst("first");
const NameKey kIteration("iteration");
const NameKey kLast("last");
const NameKey kStep("step");
const NameKey kItem("item");
const NameKey kItemList("itemList");
const NameKey kListDelimiter("listDelimiter");

// The most body bytes a loop may produce, and the unit its message uses.
constexpr uint32_t kOutputLimit = 5120000;
constexpr uint32_t kMegabyte = 1024000;
// The running total counts whole bytes.
constexpr int32_t kTotalSizePrecision = 25;
constexpr int32_t kTotalSizeScale = 0;
// The host is yielded to whenever the index is a multiple of this many steps.
constexpr int32_t kYieldInterval = 100;
constexpr const char* kDefaultDelimiter = ",";

uint32_t failOutputLimit(const ModuleRequest* request) {
  const BigDecimal megabytes = BigDecimal(kOutputLimit) / BigDecimal(kMegabyte);
  QelString hint("Make sure that the loop cannot return more than ");
  hint.append(megabytes.toText());
  hint.append(" megabytes of data.");
  setErrorInfo(request, "The loop returned more than the allowed amount of data.", hint);
  return MVEB;
}

uint32_t runNumeric(const ModuleRequest* request, const BigDecimal& first, const BigDecimal& totalSize,
                    const QelString& indexName, const QelString& bodyText, const LoopBody& body,
                    QelString& output) {
  BigDecimal iteration;
  getDecimalParameter(request, kIteration, 0, iteration, first);
  BigDecimal last;
  if (!requireDecimalParameter(request, kLast, 0, last)) return MMRP;
  if (first.isEmpty() || last.isEmpty()) {
    setErrorInfo(request,
                 "The loop tag in numeric step mode requires valid numbers for first and last "
                 "parameters.",
                 "Make sure that the first and last parameters are supplied with valid numbers. "
                 "This problem usually occurs when an embedded tag returns a blank value.");
    return MIPV;
  }
  // An iteration that is no number would print an empty index and then,
  // adding step to nothing, start the range over at step: it starts at
  // first instead, as when it is absent.
  if (iteration.isEmpty()) iteration = first;
  BigDecimal step;
  getDecimalParameter(request, kStep, 0, step, BigDecimal(1));
  if (iteration % (step * kYieldInterval) == 0) yieldToHost(request);
  // The direction comes from comparing the index with last, never from the
  // sign of step.
  if (step.isNegative()) step.negate();
  // A step of 0 would never advance, and neither would one that is not a
  // number: both end the loop with nothing produced.
  if (step.isZeroOrEmpty()) {
    output.clear();
    return 0;
  }

  body.expand(iteration.toText(), LoopEntity(indexName), output);
  bool finished;
  if (iteration <= last) {
    iteration.add(step);
    finished = iteration > last;
  } else {
    iteration.subtract(step);
    finished = iteration < last;
  }
  // An index that overflowed has no value and would start the range over.
  if (iteration.isEmpty()) finished = true;
  if (!finished) {
    appendLoopContinuation(LoopState{first, step, last, indexName, iteration, totalSize}, bodyText,
                           output);
  }
  return 0;
}

// How many bytes the copies of an item or list loop may add up to: what the
// limit leaves after the running total the page gave.  totalSize already
// holds this call's body once, which the first copy accounts for.
uint32_t itemLoopRoom(const BigDecimal& totalSize, uint32_t bodyLength) {
  BigDecimal room(kOutputLimit);
  room.subtract(totalSize);
  room.add(BigDecimal(bodyLength));
  if (room > BigDecimal(kToEnd)) return kToEnd;
  return room.isNegative() ? 0 : static_cast<uint32_t>(room.toInteger());
}

// An item or list loop: its body, entity and what the limit leaves it.
struct ItemLoop {
  const LoopBody& body;
  uint32_t bodyLength;
  const LoopEntity& entity;
  uint32_t entityCount;
  uint32_t room;
};

// Items and lists run whole in one call, so their copies are held to the
// output limit as they are made; otherwise a long list (perhaps a visitor's)
// would multiply the body without bound.  A copy that a long value would
// make too long by itself is refused before it is built.  The value is read
// where it stands (count bytes), so a copy allocates nothing but the
// output's growth.
uint32_t expandWithinLimit(const ModuleRequest* request, const ItemLoop& loop, const char* value,
                           uint32_t count, QelString& output) {
  const uint32_t entityLength = loop.entity.text().length();
  if (count > entityLength) {
    const uint64_t least = static_cast<uint64_t>(output.length()) + loop.bodyLength +
                           static_cast<uint64_t>(loop.entityCount) * (count - entityLength);
    if (least > loop.room) {
      output.clear();
      return failOutputLimit(request);
    }
  }
  loop.body.expand(value, count, loop.entity, output);
  if (output.length() <= loop.room) return 0;
  output.clear();
  return failOutputLimit(request);
}

uint32_t runItems(const ModuleRequest* request, const QelString& firstItem, const ItemLoop& loop,
                  QelString& output) {
  QelString item(firstItem);
  int32_t occurrence = 0;
  do {
    if (uint32_t result = expandWithinLimit(request, loop, item.data(), item.length(), output))
      return result;
    ++occurrence;
  } while (getStringParameter(request, kItem, occurrence, item, QelString()));
  return 0;
}

uint32_t runList(const ModuleRequest* request, const QelString& itemList, const ItemLoop& loop,
                 QelString& output) {
  QelString delimiter;
  getStringParameter(request, kListDelimiter, 0, delimiter, kDefaultDelimiter);
  unescapeBackslashes(delimiter, false);
  const SplitList items(itemList, delimiter);
  for (uint32_t i = 0; i < items.count(); ++i) {
    uint32_t start = 0;
    uint32_t count = 0;
    items.pieceBounds(i, start, count);
    if (uint32_t result = expandWithinLimit(request, loop, itemList.data() + start, count, output))
      return result;
  }
  return 0;
}

}  // namespace

uint32_t handleLoop(const ModuleRequest* request, QelString& output, int /*mode*/) {
  BigDecimal totalSize(kTotalSizePrecision, kTotalSizeScale);
  BigDecimal noTotal(kTotalSizePrecision, kTotalSizeScale);
  noTotal = "0";
  getDecimalParameter(request, kTotalSize, 0, totalSize, noTotal);
  const QelString bodyText = getTagBody(request);
  totalSize.add(BigDecimal(bodyText.length()));
  if (totalSize > BigDecimal(kOutputLimit)) return failOutputLimit(request);

  QelString indexName;
  getStringParameter(request, kIndexName, 0, indexName, QelString());
  const LoopBody body(bodyText);

  BigDecimal first;
  if (getDecimalParameter(request, kFirst, 0, first, BigDecimal())) {
    return runNumeric(request, first, totalSize, indexName, bodyText, body, output);
  }
  const LoopEntity entity(indexName);
  QelString value;
  const bool items = getStringParameter(request, kItem, 0, value, QelString());
  if (items || getStringParameter(request, kItemList, 0, value, QelString())) {
    const ItemLoop loop{body, bodyText.length(), entity, body.entityCount(entity),
                        itemLoopRoom(totalSize, bodyText.length())};
    return items ? runItems(request, value, loop, output) : runList(request, value, loop, output);
  }
  setErrorInfo(request, "No valid parameters were provided for this loop.",
               "Make sure that the loop has tag parameters provided.");
  return MMRP;
}

}  // namespace bw
