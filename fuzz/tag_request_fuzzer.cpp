// Fuzzes ProcessQELRequest as a page engine calls it: the tag's name, its
// parameters and its body come from the input, and the host may fail one
// allocation of the request.
//
// Names and values are drawn mostly from the module's own vocabulary (the
// eight tags, every parameter name, every mode, relationship and order
// keyword), so that the fuzzer spends its time inside the handlers rather
// than at the dispatcher's "unknown name" exit; any byte string can still
// appear in every place.
//
// Invariants: every request gives back every block it took and releases
// nothing it did not take; a request whose allocation failed returns MUnk
// and calls the host no more; one that did not fail never returns MUnk.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz/fuzz_check.h"
#include "support/test_host.h"

extern "C" uint32_t BW_CALL ProcessQELRequest(ModuleRequest* request);

namespace {

using bw::test::NamedValues;
using bw::test::Result;
using bw::test::TestHost;

const std::string kTags[] = {"qelComment", "qelIf", "qelInlineIf", "qelInlineString",
                             "qelLoop", "qelMath", "qelString", "qelSwitch", "QELSTRING", "qelCase"};

const std::string kParameterNames[] = {
    "lhs", "rhs", "relationship", "caseSensitive", "order", "then", "else", "value",
    "totalSize", "indexName", "first", "iteration", "last", "step", "item", "itemList",
    "listDelimiter", "mode", "string", "quoteResult", "beginningIndex", "length",
    "stringToReplace", "replacementString", "stringToInsert", "index", "stringToPrepend",
    "stringToAppend", "delimiter", "character", "regularExpression", "resultVariableName",
    "workPrecision", "resultPrecision", "displayPrecision"};

const std::string kValues[] = {
    // string modes
    "urlEncode", "urlDecode", "htmlEncode", "htmlDecode", "toUpper", "toLower", "substring",
    "replace", "insert", "prepend", "append", "trimLeft", "trimRight", "trim", "getLength",
    "noOperation", "split", "getWordCount", "getCharacterCount", "padLeft", "padRight",
    "regularExpression",
    // relationships and orders
    "equals", "doesNotEqual", "lessThan", "lessThanOrEqualTo", "greaterThan",
    "greaterThanOrEqualTo", "contains", "doesNotContain", "beginsWith", "doesNotBeginWith",
    "endsWith", "doesNotEndWith", "isEmpty", "isNotEmpty", "=", "<>", "<", "<=", ">", ">=",
    "alphabetical", "numerical",
    // booleans and numbers at the edges
    "true", "false", "yes", "no", "1", "0", "-1", "25", "26", "0.5", "-0.1", "1e5",
    "99999999999999999999999999999999999999", "4294967296", "5119999", ",", ""};

std::string pick(FuzzedDataProvider& in, const std::string* table, size_t count) {
  // One choice in four is free text, so every place sees arbitrary bytes too.
  if (in.ConsumeIntegralInRange<int>(0, 3) == 0) return in.ConsumeRandomLengthString(64);
  return table[in.ConsumeIntegralInRange<size_t>(0, count - 1)];
}

template <size_t N>
std::string pick(FuzzedDataProvider& in, const std::string (&table)[N]) {
  return pick(in, table, N);
}

TestHost& host() {
  static TestHost* instance = [] {
    auto* h = new TestHost("in-process");
    Result r = h->runInProcess(MIni, ProcessQELRequest);
    FUZZ_CHECK(r.result == 0);
    return h;
  }();
  return *instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  TestHost& h = host();
  h.tagName = pick(in, kTags);
  h.parameters.clear();
  const int count = in.ConsumeIntegralInRange<int>(0, 8);
  for (int i = 0; i < count; ++i) {
    std::string name = pick(in, kParameterNames);
    h.parameters.push_back({name, pick(in, kValues)});
  }
  const int region = in.ConsumeIntegralInRange<int>(0, 15);
  h.regionProperties.clear();
  if (region == 0) h.regionProperties[*h.tagName] = "no";
  const uint8_t failAt = in.ConsumeIntegral<uint8_t>();
  const bool hasBody = in.ConsumeIntegralInRange<int>(0, 7) != 0;
  if (hasBody)
    h.body = in.ConsumeRemainingBytesAsString();
  else
    h.body.reset();
  // One input in four fails an early allocation of the request.
  h.failAllocationAt(failAt < 64 ? failAt : 0);
  const Result r = h.runInProcess(MTag, ProcessQELRequest);
  // FUZZ_TRACE=1 shows what each input became, to see where the fuzzer spends its time.
  if (std::getenv("FUZZ_TRACE") != nullptr) std::fprintf(stderr, "%s %zu %s %s\n", h.tagName->c_str(), h.parameters.size(), bw::test::codeName(r.result).c_str(), r.trace().c_str());
  FUZZ_CHECK(r.blocksLeft == 0);
  FUZZ_CHECK(r.foreignReleases == 0);
  if (r.allocationFailed) {
    if (r.result == MUnk) FUZZ_CHECK(r.callsAfterAllocationFailure == 0);
  } else {
    FUZZ_CHECK(r.result != MUnk);
  }
  h.pageVariables.clear();
  return 0;
}
