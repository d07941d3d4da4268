// The typed operations the tag handlers use to reach the host.
//
// Each is one exchange of host/host_exchange.h plus a conversion.  Texts go
// to the host from the string's own storage, except the registration and
// region-property codes, which get a private terminated copy the host may
// keep a pointer into only for the duration of the call.
#include "host/parameters.h"

#include "foundation/known_keywords.h"
#include "host/host_exchange.h"

namespace bw {

namespace {

using Storage = TextIn::Storage;

bool sendOne(const ModuleRequest* request, uint32_t code, const QelString& text,
             Storage storage) {
  TextIn in(text, storage);
  return callHost(request, code, in.bytes(), in.count()) == 0;
}

bool sendTwo(const ModuleRequest* request, uint32_t code, const QelString& first,
             const QelString& second, Storage storage) {
  TextIn one(first, storage);
  TextIn two(second, storage);
  return callHost(request, code, one.bytes(), one.count(), two.bytes(), two.count()) == 0;
}

// MTPm and MFAr share a shape: name, buffer, occurrence.
bool fetchNamedInto(const ModuleRequest* request, uint32_t code, const QelString& name,
                    int32_t occurrence, FetchedText& value) {
  TextIn nameIn(name, Storage::Shared);
  int32_t privateOccurrence = occurrence;  // the host may write to it
  return fetchInto(request, code, &nameIn, &privateOccurrence, value);
}

bool fetchNamed(const ModuleRequest* request, uint32_t code, const QelString& name,
                int32_t occurrence, QelString& value, const QelString& defaultValue) {
  FetchedText fetched;
  if (fetchNamedInto(request, code, name, occurrence, fetched)) {
    value.assign(fetched.data(), fetched.size());
    return true;
  }
  value = defaultValue;
  return false;
}

}  // namespace

bool fetchParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                    FetchedText& value) {
  return fetchNamedInto(request, MTPm, name.text(), occurrence, value);
}

// --- Tag and output ---------------------------------------------------------

QelString getTagName(const ModuleRequest* request) {
  QelString name;
  fetchText(request, MTag, nullptr, nullptr, name);  // a failed query leaves the empty name
  return name;
}

QelString getTagBody(const ModuleRequest* request) {
  QelString body;
  fetchBody(request, body);
  return body;
}

bool writeOutput(const ModuleRequest* request, const QelString& text) {
  if (text.isEmpty()) return true;
  TextIn in(text, Storage::Shared, TextIn::Count::ExactLength);
  return callHost(request, MWtS, in.bytes(), in.count()) == 0;
}

bool setErrorInfo(const ModuleRequest* request, const QelString& message, const QelString& hint) {
  return sendTwo(request, MSEI, message, hint, Storage::Shared);
}

bool yieldToHost(const ModuleRequest* request) { return callHost(request, MYld) == 0; }

// --- Parameters ---------------------------------------------------------------

bool getStringParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                        QelString& value, const QelString& defaultValue) {
  return fetchNamed(request, MTPm, name.text(), occurrence, value, defaultValue);
}

bool getKeywordParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                         NameKey& value, const NameKey& defaultValue) {
  FetchedText text;
  if (!fetchParameter(request, name, occurrence, text)) {
    value = defaultValue;
    return false;
  }
  if (const NameKey* known = findKnownKeyword(text.data(), text.size())) {
    value = *known;  // the same key, without a string of its own
  } else {
    value = NameKey(QelString(text.data(), text.size()), IgnoreCase);
  }
  return true;
}

bool getBooleanParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                         bool& value, bool defaultValue) {
  FetchedText text;
  if (!fetchParameter(request, name, occurrence, text)) {
    value = defaultValue;
    return false;
  }
  value = QelString::isTrueText(text.data(), text.size());
  return true;
}

bool requireKeywordParameter(const ModuleRequest* request, const NameKey& name,
                             int32_t occurrence, NameKey& value) {
  if (getKeywordParameter(request, name, occurrence, value, NameKey())) return true;
  reportMissingParameter(request, name);
  return false;
}

bool requireStringParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                            QelString& value) {
  if (getStringParameter(request, name, occurrence, value, QelString())) return true;
  reportMissingParameter(request, name);
  return false;
}

void reportMissingParameter(const ModuleRequest* request, const NameKey& name) {
  // The tag as the host spells it, the parameter as the module's table does;
  // both go in unescaped between the fixed HTML pieces.
  QelString tag = getTagName(request);
  const QelString& parameter = name.text();

  QelString message("An &lt;");
  message.append(tag);
  message.append("&gt; tag was found but it is missing its &quot;");
  message.append(parameter);
  message.append("&quot; parameter.");

  QelString hint("Check the &lt;");
  hint.append(tag);
  hint.append("&gt; tag to see if the &quot;");
  hint.append(parameter);
  hint.append("&quot; parameter is missing or misspelled.");

  setErrorInfo(request, message, hint);
}

// --- Other host data ----------------------------------------------------------

bool getFormArgument(const ModuleRequest* request, const QelString& name, int32_t occurrence,
                     QelString& value, const QelString& defaultValue) {
  return fetchNamed(request, MFAr, name, occurrence, value, defaultValue);
}

bool setPageVariable(const ModuleRequest* request, const QelString& name, const QelString& value) {
  return sendTwo(request, MSPV, name, value, Storage::Shared);
}

bool getRegionProperty(const ModuleRequest* request, const QelString& name, QelString& value,
                       const QelString& defaultValue) {
  TextIn nameIn(name, Storage::Shared);
  if (fetchText(request, MGPr, &nameIn, nullptr, value)) return true;
  value = defaultValue;
  return false;
}

bool setRegionProperty(const ModuleRequest* request, const QelString& name,
                       const QelString& value) {
  return sendTwo(request, MSPr, name, value, Storage::PrivateCopy);
}

bool removeRegionProperty(const ModuleRequest* request, const QelString& name) {
  return sendOne(request, MRPr, name, Storage::PrivateCopy);
}

// --- Registration ---------------------------------------------------------------

bool registerModuleName(const ModuleRequest* request, const QelString& text) {
  return sendOne(request, MRMN, text, Storage::PrivateCopy);
}

bool registerModuleVersion(const ModuleRequest* request, const QelString& text) {
  return sendOne(request, MRMV, text, Storage::PrivateCopy);
}

bool registerCompany(const ModuleRequest* request, const QelString& text) {
  return sendOne(request, MRMA, text, Storage::PrivateCopy);
}

bool registerVersionTracker(const ModuleRequest* request, const QelString& text) {
  return sendOne(request, MRVt, text, Storage::PrivateCopy);
}

bool registerTag(const ModuleRequest* request, const QelString& name, uint32_t flags) {
  TextIn in(name, Storage::PrivateCopy);
  uint32_t flagsCopy = flags;
  return callHost(request, MRfT, in.bytes(), in.count(), nullptr, nullptr, &flagsCopy) == 0;
}

}  // namespace bw
